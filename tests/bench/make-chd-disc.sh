#!/usr/bin/env bash
# The CHD reading benchmark's disc, made once into OUT: 695 MB as BIN/CUE
# (400 MB of Mode 1 files, then 100,000 blocks of audio) and
# OUT/disc.chd from it through chdman with its own codecs. Kept while this
# script is unchanged; both build trees that measure it share OUT.
# Usage: make-chd-disc.sh MKDISC OUT
set -euo pipefail
mkdisc=$1 out=$2
stamp=$(cksum <"${BASH_SOURCE[0]}")
[ -f "$out/disc.chd" ] && [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ] && exit 0
rm -rf "$out"
mkdir -p "$out"
cd "$out"
# Half the data as LZMA meets it in archives of real discs, half the kind it
# packs to a few per cent: base64 of a fixed AES-CTR key stream (about 77%),
# and decimal counting. (Each stream is cut short by head: no pipefail.)
set +o pipefail
openssl enc -aes-128-ctr -nosalt -K 0123456789abcdef0123456789abcdef -iv 0 </dev/zero 2>/dev/null |
    head -c 150000000 | base64 -w 76 | head -c 200000000 | split -b 50000000 - part.a
seq 1 100000000 | head -c 200000000 | split -b 50000000 - part.b
set -o pipefail
{
    echo 'track mode1'
    for p in part.*; do echo "file /${p#part.}.TXT src=$p"; done
    echo 'audio blocks=100000 tone=440'
} >disc.script
"$mkdisc" disc.script disc.cue
rm -f part.*
chdman createcd -i disc.cue -o disc.chd >chdman.log 2>&1 || { tail -c 2000 chdman.log >&2; exit 1; }
rm -f disc.bin
echo "$stamp" >stamp
