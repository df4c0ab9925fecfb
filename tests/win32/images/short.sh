#!/usr/bin/env bash
# Cut copies of the Mode 1 disc: short.iso and short.bin lose their last
# 1000 bytes, so their last block (FILE.TXT's) is partial.
# Usage: short.sh OUT MKDISC
set -euo pipefail
out=$1 mkdisc=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$mkdisc" "$here/mode1.disc" "$out/short.iso"
cp "$out/mode1.bin" "$out/short.bin"
truncate -s -1000 "$out/short.iso" "$out/short.bin"
