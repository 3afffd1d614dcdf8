# The two entry points of the README: `make run` and `make test`. Both install what is
# missing first, so a fresh Debian or Ubuntu machine needs nothing else.
JOBS ?= 2
SITE ?= examples/site
OUT  ?= build/out

.PHONY: deps build run test build-asan test-asan fuzz bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run-main.sh

test: build
	@ctest --preset default

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	@ctest --preset asan

fuzz: deps
	@if [ -x scripts/fuzz.sh ]; then bash scripts/fuzz.sh; else echo "fuzz: nothing to run"; fi

bench: build
	@bash bench/run.sh

clean:
	rm -rf build build-asan build-fuzz
