#!/usr/bin/env bash
# One layout (Mode 2 Form 1 and Form 2 files, audio after a stored and an
# unstored pregap) as BIN/CUE and in every other image format the builder
# writes, each in its own folder under OUT/formats, and as CHD.
set -euo pipefail
out=$1/formats mkdisc=$2
mkdir -p "$out"
script=$out/layout.disc
printf '%s\n' 'xa on' 'track mode2' 'file /A.DAT size=30000' 'file /V.XA size=23240 form2 filenum=1' \
    'audio blocks=300 tone=440' 'audio blocks=200 tone=880 gap=cue' >"$script"
for ext in cue toc ccd mds nrg; do
    mkdir -p "$out/$ext"
    "$mkdisc" "$script" "$out/$ext/x.$ext"
done
# CHD through chdman, with its own choice of codecs; bad.chd names an unknown
# codec in the first slot (LZMA's, which the data hunks use).
mkdir -p "$out/chd"
rm -f "$out/chd/x.chd"
chdman createcd -i "$out/cue/x.cue" -o "$out/chd/x.chd" >/dev/null
cp "$out/chd/x.chd" "$out/chd/bad.chd"
printf 'cdzs' | dd of="$out/chd/bad.chd" bs=1 seek=16 conv=notrunc status=none
