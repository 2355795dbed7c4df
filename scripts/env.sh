# Sourced by the project's scripts: paths and the Wine environment of this checkout.
TAMBER_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TAMBER_ROOT
export WINEDEBUG=-all
# The locale picks Wine's ANSI code page: 936 (zh_CN), as the program's users
# have it, unless TAMBER_WINE_LOCALE names another (en_US.UTF-8: 1252).
export LC_ALL=${TAMBER_WINE_LOCALE:-zh_CN.UTF-8}
# No Mono or Gecko installers: the program needs neither. No sound drivers:
# the audio library plays on its silent clock, and tests hear nothing and
# depend on no sound server. The sound rig (tests/sound) turns PulseAudio's
# driver back on for its own cases, and scripts/run for a user's desktop.
export WINEDLLOVERRIDES="${TAMBER_WINEDLLOVERRIDES:-mscoree,mshtml=,winealsa.drv=,winepulse.drv=}"

# Two prefixes: a 32-bit one for the deliverables and a 64-bit one for the
# x86_64 test build, used where the machine cannot run 32-bit code.
TAMBER_WINEPREFIX32="$TAMBER_ROOT/build/wineprefix"
TAMBER_WINEPREFIX64="$TAMBER_ROOT/build/wineprefix64"

use_wine32() { export WINEARCH=win32 WINEPREFIX="$TAMBER_WINEPREFIX32"; TAMBER_WINE=/usr/lib/wine/wine; }
use_wine64() { export WINEARCH=win64 WINEPREFIX="$TAMBER_WINEPREFIX64"; TAMBER_WINE=/usr/lib/wine/wine64; }

# Some kernels run no 32-bit user code at all (i386 execve gives ENOEXEC).
machine_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
