#!/usr/bin/env bash
# Cut copies of the Mode 1 disc: cut.iso and cut.bin lose their last
# 1000 bytes, so their last block (FILE.TXT's) is partial.
# Usage: cut.sh OUT MKDISC
set -euo pipefail
out=$1 mkdisc=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$mkdisc" "$here/mode1.disc" "$out/cut.iso"
cp "$out/mode1.bin" "$out/cut.bin"
truncate -s -1000 "$out/cut.iso" "$out/cut.bin"
