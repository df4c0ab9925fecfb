#!/usr/bin/env bash
# find.cue: a Mode 1 disc whose file ACROSS.TXT holds NEEDLE-ACROSS at byte
# 2041, across the boundary between its first two blocks, and again at byte
# 2100 in the second block.
set -euo pipefail
out=$1 mkdisc=$2
fill() { printf "%${1}s" "" | tr ' ' "$2"; }
text="$(fill 2041 x)NEEDLE-ACROSS$(fill 46 y)NEEDLE-ACROSS"
printf 'volume QUILLET_FIND\ntrack mode1\nfile /ACROSS.TXT text=%s\n' "$text" >"$out/find.disc"
"$mkdisc" "$out/find.disc" "$out/find.cue"
