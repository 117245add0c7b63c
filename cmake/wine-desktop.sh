#!/usr/bin/env bash
# Makes the Wine prefix $1 anew for the programs with windows, which run on the tests'
# X display (a bare Xvfb, no window manager). Two settings differ from a plain prefix:
# - Wine's windows are not left to a window manager: there is none to answer, and Wine
#   would wait two seconds for one whenever a window (a message box, too) closes;
# - no crash dialog: a program that crashes on a display would wait for somebody to close
#   the dialog, rather than end with a backtrace;
# - Korean fonts, as a Korean workstation has them (wine-korean-fonts.sh).
set -euo pipefail
prefix=$1
"$(dirname "$0")/wine-prefix.sh" "$prefix" fresh
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
"$(dirname "$0")/wine-korean-fonts.sh"
wineserver -w
