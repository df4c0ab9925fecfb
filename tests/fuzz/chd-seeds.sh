#!/usr/bin/env bash
# Seeds of the CHD target: a small disc of data and audio (stored and
# unstored pregaps) through chdman with each codec choice.
# Usage: chd-seeds.sh MKDISC OUT
set -euo pipefail
mkdisc=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
printf '%s\n' 'track mode1' 'file /A.DAT size=9000' 'audio blocks=20 tone=440' 'audio blocks=10 tone=880 gap=cue' \
    >"$work/d.disc"
"$mkdisc" "$work/d.disc" "$work/d.cue"
for codecs in default cdzl none; do
    opts=()
    [ "$codecs" = default ] || opts=(-c "$codecs")
    chdman createcd -i "$work/d.cue" -o "$work/$codecs.chd" "${opts[@]}" >/dev/null
    mv "$work/$codecs.chd" "$out/seed-$codecs"
done
