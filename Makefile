# The two entry points of the README: `make run` and `make test`. Both install what is
# missing first, so a fresh Debian or Ubuntu machine needs nothing else.
JOBS ?= 2
SITE ?= examples/site
OUT  ?= build/out

.PHONY: deps build run run-batch screenshots package test build-asan test-asan fuzz bench \
        bench-window windows test-windows clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

# The windows; without a display, one line that points to the console front end.
run: build
	@bash scripts/run-gui.sh

# The console front end on the sample site.
run-batch: build
	@bash scripts/run-main.sh

# Every window rendered to build/screenshots/<dpi>dpi/*.png at 96, 120 and 144 dpi
# (offscreen, settings in memory): the main window at its first size, grown, during a
# run and after it, its menus, Options, the splash and About.
SHOT_DPIS ?= 96 120 144
screenshots: deps
	@cmake --preset default -DQW_BUILD_GUI=ON >/dev/null
	@cmake --build --preset default -j $(JOBS) --target ui-screenshots fake-screnc
	@for dpi in $(SHOT_DPIS); do \
	  QT_QPA_PLATFORM=offscreen QT_FONT_DPI=$$dpi ./build/tests/ui-screenshots build/screenshots/$${dpi}dpi $(SITE) build/tests/fake-screnc || exit 1; \
	done

# The Debian package, in build/.
package: build
	@cd build && cpack -G DEB

test: build
	@ctest --preset default

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	@ctest --preset asan

# The Windows programs for 64-bit and 32-bit (x86) Windows, cross-built with MinGW-w64
# into build-windows/bin/ and build-windows-x86/bin/ (statically linked: they need only
# the system's own DLLs): quillward.exe (the window, Win32), quillward-batch.exe and
# screnc.exe; each set packed with the README and the licence into
# build-windows/quillward-<version>-windows-<arch>.zip and, with wixl, into the installer
# build-windows/quillward-<version>-windows-<arch>.msi.
windows: deps
	@for preset in windows windows-x86; do \
	  cmake --preset $$preset >/dev/null && \
	  cmake --build --preset $$preset -j $(JOBS) && \
	  cmake --build --preset $$preset --target msi >/dev/null || exit 1; \
	done
	@cd build-windows && rm -f quillward-*-windows-x64.zip && cpack -G ZIP >/dev/null
	@cd build-windows-x86 && rm -f quillward-*-windows-x86.zip && cpack -G ZIP >/dev/null && \
	  cp quillward-*-windows-x86.zip quillward-*-windows-x86.msi ../build-windows/
	@ls -1 build-windows/quillward-*-windows-*.zip build-windows/quillward-*-windows-*.msi

# The Windows programs run under Wine (headless, own prefix in build-windows/) and
# compared, byte for byte, with the Linux build; the window model's tests as an .exe.
test-windows: windows
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS) --target screnc quillward-batch
	@bash tests/screnc/wine/run.sh
	@bash tests/batch/wine/run.sh
	@bash tests/window/wine/run.sh
	@bash tests/ui_win/wine/run.sh

fuzz: deps
	@if [ -x scripts/fuzz.sh ]; then bash scripts/fuzz.sh; else echo "fuzz: nothing to run"; fi

bench: build
	@bash bench/run.sh

# The window's run against quillward-batch, offscreen and under Xvfb (bench/README.md).
bench-window: build
	@bash bench/window/run.sh

clean:
	rm -rf build build-asan build-fuzz build-windows build-windows-x86
