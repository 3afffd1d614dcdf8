#!/usr/bin/env bash
# Fuzzes the encoder's HTML and ASP scanners with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, about half a minute each (FUZZ_SECONDS to change it).
# Fails on any crash, sanitizer report or malformed block.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
out=build-fuzz
mkdir -p "$out"
cxx=${CXX_FUZZ:-clang++}
sources=(screnc/block.cpp screnc/block_bytes.cpp screnc/kinds.cpp screnc/text_codec.cpp)
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -Iscrenc
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# Seeds: the project's small pages, plus the shared real pages when they are there.
seeds="$out/seeds"
mkdir -p "$seeds"
for f in tests/screnc/data/*.htm tests/screnc/data/*.plain ../shared/screnc-vectors/*.source.*; do
  [ -f "$f" ] && { printf '\003'; head -c 8192 "$f"; } > "$seeds/$(basename "$f")"
done

for kind in Html Asp; do
  bin="$out/fuzz_$(echo "$kind" | tr 'A-Z' 'a-z')"
  echo "fuzz: building $bin"
  "$cxx" "${flags[@]}" -DFUZZ_KIND="$kind" "${sources[@]}" tests/screnc/fuzz/fuzz_scanners.cpp -o "$bin"
  corpus="$out/corpus-$kind"
  mkdir -p "$corpus"
  echo "fuzz: running $bin for ${seconds}s"
  # -jobs=1 keeps to one core for the fuzzer; the log goes to the terminal.
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -dict=tests/screnc/fuzz/scanners.dict -artifact_prefix="$out/" -print_final_stats=1 "$corpus" "$seeds"
done
echo "fuzz: no crash, no sanitizer report"
