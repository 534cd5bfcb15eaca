#!/usr/bin/env bash
# Builds the fuzz target natively with clang (libFuzzer, address and undefined-behaviour
# sanitizers) and runs it for a bounded time over the checked-in seed corpus.
#   fuzz.sh OUT_DIR [seconds]     (VELVOR_FUZZ_SECONDS also sets the time; default 60)
# A finding ends the run with a non-zero exit and leaves the input in OUT_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: fuzz.sh OUT_DIR [seconds]}
seconds=${2:-${VELVOR_FUZZ_SECONDS:-60}}
mkdir -p "$out/corpus"
sources=("$root/tests/fuzz/path_text_fuzz.cpp" "$root/app/path_text.cpp" "$root/wizard/directory_text.cpp")
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "${sources[@]}" -o "$out/path_text_fuzz"
# New inputs go to a working corpus in the build folder; the seeds stay as they are.
cd "$out"
exec ./path_text_fuzz -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/" \
  corpus "$root/tests/fuzz/corpus"
