#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: the build tree's own prefix,
# the Japanese locale (ANSI code page 932) and a display (Xvfb when none is set).
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail

exe=$1; shift
build=${QUILLET_BINARY_DIR:-$(cd "$(dirname "$exe")" && pwd)}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# winedbg off: a crashing program ends at once instead of waiting in the debugger.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe,winedbg.exe="}

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$script_dir/wine-prefix.sh" "$WINEPREFIX"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$exe" "$@"
fi
exec wine "$exe" "$@"
