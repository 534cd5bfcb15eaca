#!/usr/bin/env bash
# Tells whether this machine can execute 32-bit x86 Linux programs, and so run 32-bit Wine,
# by starting a tiny one: a kernel without IA-32 emulation refuses it with "Exec format
# error". Only that answer counts as "cannot": anything else is not proof.
#   exit 0, prints "yes": it ran
#   exit 1, prints "no: ...": the kernel refused it (Exec format error)
#   exit 2, prints "unknown: ...": the probe could not be built or failed otherwise
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$work/probe.s"
if ! as --32 -o "$work/probe.o" "$work/probe.s" 2>"$work/err" ||
   ! ld -m elf_i386 -o "$work/probe" "$work/probe.o" 2>>"$work/err"; then
  echo "unknown: the 32-bit probe could not be built ($(head -n 1 "$work/err"))"
  exit 2
fi
if out=$("$work/probe" 2>&1); then
  echo yes
  exit 0
fi
case "$out" in
  *"Exec format error"*)
    echo "no: this machine cannot execute 32-bit programs (Exec format error)"; exit 1 ;;
esac
echo "unknown: the 32-bit probe failed to run ($out)"
exit 2
