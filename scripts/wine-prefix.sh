#!/usr/bin/env bash
# Creates the Wine prefix named by $1 once, in the Japanese locale, so that
# its ANSI code page is 932, with drive D: as a CD-ROM drive without a disc,
# and with window frames drawn by Wine itself (Xvfb runs no window manager,
# so screenshots would show no captions). A lock keeps parallel tests from racing.
set -euo pipefail
prefix=$1
[ -f "$prefix/.quillet-ready" ] && [ -f "$prefix/.quillet-cdrom" ] && [ -f "$prefix/.quillet-frames" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
if [ ! -f "$prefix/.quillet-ready" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    touch "$prefix/.quillet-ready"
fi
if [ ! -f "$prefix/.quillet-cdrom" ]; then
    # D: is a CD-ROM drive whose folder is empty: the viewer lists it as a
    # drive without a disc.
    mkdir -p "$prefix/empty-cdrom" "$prefix/dosdevices"
    ln -sfn ../empty-cdrom "$prefix/dosdevices/d:"
    # /reg:64: in a 64-bit prefix the 32-bit reg.exe would write under Wow6432Node.
    wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f /reg:64 >/dev/null 2>&1 ||
        wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1 || true
    wineserver -w
    touch "$prefix/.quillet-cdrom"
fi
if [ ! -f "$prefix/.quillet-frames" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
    wineserver -w
    touch "$prefix/.quillet-frames"
fi
