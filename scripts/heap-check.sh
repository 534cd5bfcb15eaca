#!/usr/bin/env bash
# Runs a Windows program (and whatever it starts) under Wine with heap checking on, and
# fails when the program fails or Wine reports heap corruption or an invalid free.
#   heap-check.sh --build DIR --arch ARCH -- program.exe [args...]
# Wine 8 validates every heap operation, block tails included, only while the heap
# channel traces; the trace lines are dropped here and only Wine's reports are kept.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build= arch=win32
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ -n "$build" ] && [ $# -gt 0 ] || { echo "usage: heap-check.sh --build DIR --arch ARCH -- program [args]" >&2; exit 2; }

log="$build/heapcheck/$(basename "$1").log"
mkdir -p "$(dirname "$log")"
# Every program of this run carries the mark, the programs it starts included (Wine hands
# the environment on), so that they can be told from other runs' in the same prefix.
export VELVOR_HEAPCHECK_RUN="$$.$RANDOM"
{ VELVOR_WINEDEBUG=+heap "$here/wine-run.sh" --build "$build" --arch "$arch" -- "$@" 2>&1
  echo "velvor-exit-code $?"; } |
  grep -av --line-buffered ':trace:heap:' >"$log" &
pipeline=$!
# Once Wine has reported a corrupted heap, the program may hang in its own exception
# handling (64-bit Wine does), or be ended while a program it started waits for it, the
# log's pipe still open: a few seconds after the report every program of this run is
# ended. The prefix's own session (its server, and the desktop and services that
# start.exe starts from C:\windows) is left alone, and so are other runs.
prefix="$(cd "$build" && pwd)/wine-$arch/prefix"
reported=0
while kill -0 $pipeline 2>/dev/null; do
  if grep -qaE 'err:heap|Assertion failed' "$log" 2>/dev/null; then
    reported=$((reported + 1))
    if [ $reported -gt 10 ]; then
      for p in $(pgrep -f '\.exe'); do
        environ=$(tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null) || continue
        grep -qx "WINEPREFIX=$prefix" <<<"$environ" &&
          grep -qx "VELVOR_HEAPCHECK_RUN=$VELVOR_HEAPCHECK_RUN" <<<"$environ" &&
          ! tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qiE '^(c:\\windows\\|start\.exe )' &&
          kill -9 "$p"
      done
    fi
  fi
  sleep 0.5
done
wait $pipeline
rc=$(grep -aoE '^velvor-exit-code [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
rc=${rc:-1}
reports=$(grep -aE 'err:heap|heap\.c:[0-9]+: Assertion|Unhandled exception|page fault' "$log" | head -n 20)
if [ -n "$reports" ]; then
  echo "heap-check: Wine reported heap errors while running $(basename "$1"):"
  echo "$reports"
  echo "(full log: $log)"
  exit 1
fi
# The verdicts, and a skipped test's reason (the line after GoogleTest's "Skipped").
grep -aE -A1 ': Skipped.?$' "$log" || true
grep -aE '^\[  (PASSED|FAILED|SKIPPED) ' "$log" || true
if [ "$rc" -ne 0 ]; then
  echo "heap-check: $(basename "$1") failed with exit code $rc (log: $log)"
  exit "$rc"
fi
echo "heap-check: no heap errors in $(basename "$1")"
