#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's own prefix (never ~/.wine).
# One wineserver, one virtual desktop and, without a display, one Xvfb are kept for a
# whole test run, so that each program does not pay Wine's start-up again.
#
#   wine-run.sh --build DIR [--arch win32|win64] -- program.exe [args...]
#   wine-run.sh --build DIR [--arch ...] --start   set up prefix, server and desktop
#   wine-run.sh --build DIR --stop                 end the server, desktop and Xvfb
#
# VELVOR_WINEDEBUG overrides WINEDEBUG (quiet by default). VELVOR_XVFB=1 uses a private
# Xvfb even when DISPLAY is set.
set -euo pipefail

build= arch=win32 action=run
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --start) action=start; shift ;;
    --stop) action=stop; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ -n "$build" ] || { echo "wine-run.sh: --build DIR is required" >&2; exit 2; }

state="$(cd "$build" && pwd)/wine-$arch"
mkdir -p "$state"
export WINEPREFIX="$state/prefix"
export WINEARCH="$arch"
export WINEDEBUG="${VELVOR_WINEDEBUG:--all}"
# No Mono/Gecko install prompts, no desktop menu entries, no debugger on a crash (the
# program ends with its exception code instead).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
# Debian's wine script starts the 32-bit loader, which hands 64-bit programs to the
# 64-bit one; on a machine that cannot execute 32-bit Linux programs a 64-bit prefix
# must start the 64-bit loader itself (wineboot and the other tools call wine by name).
if [ "$arch" = win64 ] && [ -x /usr/lib/wine/wine64 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  mkdir -p "$state/bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$state/bin/$name"
    chmod +x "$state/bin/$name"
  done
  export PATH="$state/bin:$PATH" WINELOADER=/usr/lib/wine/wine64
fi
screen=1024x768

xvfb_alive() {
  [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null &&
    [ -s "$state/xvfb.display" ]
}

stop_all() {
  wineserver -k 2>/dev/null || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/xvfb.display"
  fi
}

if [ "$action" = stop ]; then
  stop_all
  exit 0
fi

# Everything that sets up shared state happens under one lock; the lock's descriptor is
# closed for every process started from here, so none of them holds it.
exec 9>"$state/lock"
flock 9

if [ -z "${DISPLAY:-}" ] || [ -n "${VELVOR_XVFB:-}" ]; then
  if ! xvfb_alive; then
    wineserver -k 2>/dev/null || true  # a server tied to a dead display is no use
    rm -f "$state/xvfb.display"
    Xvfb -displayfd 8 -screen 0 ${screen}x24 -nolisten tcp -noreset \
      8>"$state/xvfb.display" </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do [ -s "$state/xvfb.display" ] && break; sleep 0.1; done
    xvfb_alive || { echo "wine-run.sh: Xvfb did not start" >&2; exit 2; }
  fi
  export DISPLAY=":$(tr -dc 0-9 <"$state/xvfb.display")"
fi

if [ ! -f "$WINEPREFIX/.velvor-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >"$state/wineboot.log" 2>&1 9>&-
  # Every program runs inside one 1024x768 virtual desktop: pop-ups behave and the
  # screen's pixels can be read. Hidden windows do not wait for a window manager.
  # A crashed program ends with its exception code instead of starting the debugger.
  cat >"$state/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[-HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
REG
  wine regedit /S "$state/settings.reg" </dev/null >>"$state/wineboot.log" 2>&1 9>&-
  wineserver -w 9>&-
  touch "$WINEPREFIX/.velvor-ready"
fi

# The platform's own fonts ("MS Sans Serif" of the dialogs, Marlett of the caption
# buttons, Tahoma...), from Debian's fonts-wine: this Wine build looks for them only in
# the prefix's Fonts folder, and without them draws every page in a substitute whose sizes
# are not those of Windows. Put into prefixes made before this too; each program started
# afterwards finds them.
wine_fonts=/usr/share/wine/fonts
[ -f "$wine_fonts/ms_sans_serif.ttf" ] ||
  { echo "wine-run.sh: no $wine_fonts/ms_sans_serif.ttf (bash scripts/install-deps.sh installs fonts-wine)" >&2; exit 2; }
for font in "$wine_fonts"/*; do
  [ -f "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

# The virtual desktop is up when its X window, "Default - Wine desktop", is viewable and
# belongs to an explorer of this prefix: other prefixes (the other architecture's, other
# build folders') may show a desktop of the same name on a shared display.
desktop_up() {
  local window pid
  for window in $(xwininfo -root -children 2>/dev/null |
                  awk '/"Default - Wine desktop"/ {print $1}'); do
    xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    pid=$(xprop -id "$window" _NET_WM_PID 2>/dev/null | awk '{print $3}')
    [ -n "$pid" ] && tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
      grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# One persistent server, and its desktop, detached from our output. No program starts
# before the desktop is up: one that did would make a desktop of its own.
wineserver -p </dev/null >/dev/null 2>&1 9>&- || true  # already running is fine
if ! desktop_up; then
  setsid wine explorer /desktop=Default,$screen </dev/null >/dev/null 2>&1 9>&- &
  for _ in $(seq 300); do
    desktop_up && break
    sleep 0.1
  done
  desktop_up || { echo "wine-run.sh: the virtual desktop of $WINEPREFIX did not appear in 30 s" >&2; exit 2; }
fi

exec 9>&-
[ "$action" = start ] && exit 0
[ $# -gt 0 ] || { echo "wine-run.sh: no program given" >&2; exit 2; }
exec wine "$@"
