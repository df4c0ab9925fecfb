#!/usr/bin/env bash
# Creates the Wine prefix named by $1 once, in the Japanese locale, so that
# its ANSI code page is 932. A lock keeps parallel tests from racing.
set -euo pipefail
prefix=$1
[ -f "$prefix/.quillet-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.quillet-ready" ] && exit 0
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wineboot -i >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.quillet-ready"
