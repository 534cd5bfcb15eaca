#!/usr/bin/env bash
# Builds the pure helpers (path text, the directory page's text) and their tests natively
# with the sanitizers, then runs them.
#   native-tests.sh OUT_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: native-tests.sh OUT_DIR}
gtest=${VELVOR_GTEST_SOURCE:-/usr/src/googletest}/googletest
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -Wall -Wextra)

if [ ! -f "$out/gtest.o" ]; then
  g++ "${flags[@]}" -I"$gtest/include" -I"$gtest" -c "$gtest/src/gtest-all.cc" -o "$out/gtest.o.tmp"
  mv "$out/gtest.o.tmp" "$out/gtest.o"
fi
sources=("$root/app/path_text.cpp" "$root/wizard/directory_text.cpp" "$root/tests/unit/path_text_test.cpp"
         "$root/tests/unit/directory_text_test.cpp" "$root/tests/unit/gtest_main.cpp")
g++ "${flags[@]}" -I"$gtest/include" -I"$root" "${sources[@]}" "$out/gtest.o" -pthread \
  -o "$out/path_text_tests"
exec "$out/path_text_tests"
