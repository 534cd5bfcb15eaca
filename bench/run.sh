#!/usr/bin/env bash
# Prints the benchmarks: whole installs against a bare CopyFileA loop and the floor loop of a
# crash-safe install (copy to a new temporary name, rename over the file) (with setup.exe's
# peak memory; the reinstall of three components also with each method over its own previous
# install, the first reinstall and the later ones apart), where the copy of small files spends
# its time, the calls of a reinstall per file against the floor's, the reinstall and its calls
# again on a drive in memory, new files natively after removed ones, and start-up against a
# bare program with the size of setup.exe; and where the install step's time goes, from
# the moments that setup's timed build records. Figures, not a test; ctest never runs this.
#   bench/run.sh [runs]        (default 5; the payloads stay in the prefix's C:\velvor-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-5}
export VELVOR_XVFB=1
# The 32-bit build, unless this machine is shown unable to execute 32-bit programs.
arch=win32
probe=0; bash scripts/runs-32bit.sh >/dev/null || probe=$?
[ "$probe" -ne 1 ] || arch=win64
echo "Benchmarks of the $arch build"
cmake --preset $arch >/dev/null
cmake --build --preset $arch --target setup media install_bench copy_breakdown startup_bench \
  setup_timed bare_message_box >/dev/null
build="$root/build/$arch"
run=("$root/scripts/wine-run.sh" --build "$build" --arch $arch --)
out="$build/bench"
# Wine's output goes to a file: its desktop process lingers with the pipe open.
"${run[@]}" "$build/bench/install_bench.exe" "$build/setup.exe" "$runs" \
  small,reinstall,large,three,upgrade,counts,phases "$build/bench/setup_timed.exe" >"$out/install.txt" 2>&1 ||
  { cat "$out/install.txt"; exit 1; }
tr -d '\r' <"$out/install.txt"
echo
"${run[@]}" "$build/bench/copy_breakdown.exe" 1000 "$runs" >"$out/breakdown.txt" 2>&1 ||
  { cat "$out/breakdown.txt"; exit 1; }
tr -d '\r' <"$out/breakdown.txt"
echo
"${run[@]}" "$build/bench/copy_breakdown.exe" 2000 "$runs" calls >"$out/calls.txt" 2>&1 ||
  { cat "$out/calls.txt"; exit 1; }
tr -d '\r' <"$out/calls.txt"
echo
# The reinstall again on a drive in memory, where the disk's allocation of new files (on
# this machine's file system, slower after many removals, and by more than the program's
# own cost) is out of the comparison: the program's work against the floor's.
if [ -d /dev/shm ] && memory=$(mktemp -d /dev/shm/velvor-bench.XXXXXX); then
  trap 'rm -rf "$memory" "$build/wine-$arch/prefix/dosdevices/r:"' EXIT
  ln -sfn "$memory" "$build/wine-$arch/prefix/dosdevices/r:"
  echo "On a drive in memory (R: = $memory):"
  VELVOR_BENCH_ROOT='R:\velvor-bench\' "${run[@]}" "$build/bench/install_bench.exe" "$build/setup.exe" \
    "$runs" upgrade >"$out/upgrade-memory.txt" 2>&1 || { cat "$out/upgrade-memory.txt"; exit 1; }
  tr -d '\r' <"$out/upgrade-memory.txt" | sed -n '/2,000 + 200/,$p'
  VELVOR_BENCH_ROOT='R:\velvor-bench\' "${run[@]}" "$build/bench/copy_breakdown.exe" 2000 "$runs" calls \
    >"$out/calls-memory.txt" 2>&1 || { cat "$out/calls-memory.txt"; exit 1; }
  tr -d '\r' <"$out/calls-memory.txt"
  echo
fi
python3 "$root/bench/new_files.py" "$out"
echo
"${run[@]}" "$build/bench/startup_bench.exe" "$build/media/setup.exe" \
  "$build/bench/setup_timed.exe" "$build/bench/bare_message_box.exe" "$runs" >"$out/startup.txt" 2>&1 ||
  { cat "$out/startup.txt"; exit 1; }
tr -d '\r' <"$out/startup.txt"
"$root/scripts/wine-run.sh" --build "$build" --stop
