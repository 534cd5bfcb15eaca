#!/usr/bin/env bash
# Runs a Windows program (and whatever it starts) under Wine with heap checking on, and
# fails when the program fails or Wine reports heap corruption or an invalid free; a
# report known to be Wine's own is named as such and does not count against the program.
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
prefix="$(cd "$build" && pwd)/wine-$arch/prefix"

# One run of the program into $log. Wine's heap operation traces are dropped; the heap
# dump that follows a report is kept, as it tells which block was reported.
run_once() {
  # Every program of this run carries the mark, the programs it starts included (Wine
  # hands the environment on), so that they can be told from other runs' in the prefix.
  export VELVOR_HEAPCHECK_RUN="$$.$RANDOM"
  { VELVOR_WINEDEBUG=+heap "$here/wine-run.sh" --build "$build" --arch "$arch" -- "$@" 2>&1
    echo "velvor-exit-code $?"; } |
    awk '!/:trace:heap:/ || /:trace:heap:heap_dump/ { print; fflush() }' >"$log" &
  local pipeline=$! reported=0 p environ
  # Once Wine has reported a corrupted heap, the program may hang in its own exception
  # handling (64-bit Wine does), or be ended while a program it started waits for it, the
  # log's pipe still open: a few seconds after the report every program of this run is
  # ended. The prefix's own session (its server, and the desktop and services that
  # start.exe starts from C:\windows) is left alone, and so are other runs.
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
}

# Wine 8's own reports, not the program's: a block freed and waiting in Wine's queue of
# freed blocks (type 0xdead) found changed, "free block overwritten" or "invalid block
# tail", while another thread of the process uses the heap. Two blocks are met, both
# freed by code that holds no pointer to them afterwards:
#  - the 64 KiB buffer that CopyFileA reads and writes through (0x10018 with the
#    checking's overhead in 32-bit Wine, 0x10030 in 64-bit); setup.exe has no buffer of
#    that size of its own;
#  - the 513-character label buffer that Wine's button painting allocates and frees
#    (0x420 in 32-bit Wine, 0x440 in 64-bit).
# A program of a few lines, none of the installer's, that repaints push buttons in one
# thread while another copies a file through a 64 KiB buffer shows both. True when every
# heap report of the log is one of these, nothing else having gone wrong.
only_known_wine_report() {
  local blocks block all known
  all=$(grep -ac 'err:heap' "$1")
  known=$(grep -acE 'err:heap:validate_used_block heap [0-9A-Fa-f]+, block [0-9A-Fa-f]+: (free block overwritten|invalid block tail)$' "$1")
  [ "$all" -gt 0 ] && [ "$all" -eq "$known" ] || return 1
  ! grep -aqE 'page fault|Unhandled exception code (c|C)0000005' "$1" || return 1
  blocks=$(grep -aoE 'validate_used_block heap [0-9A-Fa-f]+, block [0-9A-Fa-f]+' "$1" | awk '{print $5}' | sort -u)
  for block in $blocks; do
    grep -aqE "heap_dump +$block: \(used\) type +0xdead, size +0x(100(18|30)|4[24]0)," "$1" || return 1
  done
}

for try in 1 2 3; do
  run_once "$@"
  rc=$(grep -aoE '^velvor-exit-code [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  rc=${rc:-1}
  reports=$(grep -aE 'err:heap|heap\.c:[0-9]+: Assertion|Unhandled exception|page fault' "$log" | head -n 20)
  [ -n "$reports" ] || break
  if ! only_known_wine_report "$log"; then
    echo "heap-check: Wine reported heap errors while running $(basename "$1"):"
    echo "$reports"
    echo "(full log: $log)"
    exit 1
  fi
  cp "$log" "$log.wine-report-$try"
  echo "heap-check: Wine's own known report, not the program's (a freed buffer of Wine's" \
       "reported changed; log: $log.wine-report-$try):"
  echo "$reports"
  # The assertion that Wine raises with it can end the program, or a thread of it: a run
  # that failed after it is run again, up to three runs in all, and the last one's
  # verdict stands.
  [ "$rc" -eq 0 ] && break
  [ "$try" -lt 3 ] && echo "heap-check: $(basename "$1") failed after it (exit code $rc): run again"
done
# The verdicts, and a skipped test's reason (the line after GoogleTest's "Skipped").
grep -aE -A1 ': Skipped.?$' "$log" || true
grep -aE '^\[  (PASSED|FAILED|SKIPPED) ' "$log" || true
if [ "$rc" -ne 0 ]; then
  echo "heap-check: $(basename "$1") failed with exit code $rc (log: $log)"
  exit "$rc"
fi
if [ -n "$reports" ]; then
  echo "heap-check: no heap errors of the program's own in $(basename "$1")"
else
  echo "heap-check: no heap errors in $(basename "$1")"
fi
