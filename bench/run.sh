#!/usr/bin/env bash
# Prints the benchmarks: whole installs against a bare CopyFileA loop and the floor loop of a
# crash-safe install (copy to a new temporary name, rename over the file) (with setup.exe's
# peak memory; the reinstall of three components also with each method over its own previous
# install, the first reinstall and the later ones apart), where the copy of small files spends
# its time, the calls of a reinstall per file against the floor's, the reinstall and its calls
# again on a drive in memory and on a journaled file system of its own, new files natively
# after removed ones, and start-up against a bare program with the size of setup.exe; and
# where the install step's time goes, from the moments that setup's timed build records.
# Figures, not a test; ctest never runs this.
#   bench/run.sh [runs] [reinstall runs]
# (default 5 and 15: one reinstall's ratio to the floor moves by a fifth from run to run
# here, so its median needs more; the payloads stay in the prefix's C:\velvor-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-5}
upgrade_runs=${2:-15}
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
  small,reinstall,large,three,counts,phases "$build/bench/setup_timed.exe" >"$out/install.txt" 2>&1 ||
  { cat "$out/install.txt"; exit 1; }
tr -d '\r' <"$out/install.txt"
# The reinstall as users meet it, on the drive given as root (R:\velvor-bench\, say), or C:.
upgrade() {
  VELVOR_BENCH_ROOT=${1:-} "${run[@]}" "$build/bench/install_bench.exe" "$build/setup.exe" \
    "$upgrade_runs" upgrade >"$out/upgrade.txt" 2>&1 || { cat "$out/upgrade.txt"; exit 1; }
  tr -d '\r' <"$out/upgrade.txt" | sed -n '/2,000 + 200/,$p'
}
upgrade
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
memory= image= mounted=
cleanup() {
  [ -z "$mounted" ] || umount "$mounted" || umount -l "$mounted" || true
  rm -rf "$memory" "$image" "$build/wine-$arch/prefix/dosdevices/r:" "$build/wine-$arch/prefix/dosdevices/j:"
}
trap cleanup EXIT
if [ -d /dev/shm ] && memory=$(mktemp -d /dev/shm/velvor-bench.XXXXXX); then
  ln -sfn "$memory" "$build/wine-$arch/prefix/dosdevices/r:"
  echo "On a drive in memory (R: = $memory):"
  upgrade 'R:\velvor-bench\'
  VELVOR_BENCH_ROOT='R:\velvor-bench\' "${run[@]}" "$build/bench/copy_breakdown.exe" 2000 "$runs" calls \
    >"$out/calls-memory.txt" 2>&1 || { cat "$out/calls-memory.txt"; exit 1; }
  tr -d '\r' <"$out/calls-memory.txt"
  echo
fi
# And on a journaled file system of its own (ext4 with its journal, in an image file on
# this disk, through a loop device), as J:. This machine's own file system has no journal,
# and ext4 without one passes over every file number freed in the last minute when it
# numbers a new file, so each reinstall through new copies is slowed by the one before
# (bench/NOTES.md); with a journal, as NTFS has, it is not. Mounting needs root.
image="$out/journaled.img" mounted="$out/journaled"
mkdir -p "$mounted"
if [ "$(id -u)" -eq 0 ] && truncate -s 512M "$image" && mkfs.ext4 -q -F "$image" &&
  mount -o loop "$image" "$mounted"; then
  ln -sfn "$mounted" "$build/wine-$arch/prefix/dosdevices/j:"
  echo "On a journaled file system (J: = ext4 with its journal in $image):"
  upgrade 'J:\velvor-bench\'
  echo
else
  mounted=
  echo "(No journaled drive: it needs root and a loop device; the reinstall was measured on C: and in memory.)"
  echo
fi
python3 "$root/bench/new_files.py" "$out"
echo
"${run[@]}" "$build/bench/startup_bench.exe" "$build/media/setup.exe" \
  "$build/bench/setup_timed.exe" "$build/bench/bare_message_box.exe" "$runs" >"$out/startup.txt" 2>&1 ||
  { cat "$out/startup.txt"; exit 1; }
tr -d '\r' <"$out/startup.txt"
"$root/scripts/wine-run.sh" --build "$build" --stop
