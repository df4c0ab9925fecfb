#!/usr/bin/env bash
# Gives the file HOSTILE.TXT of save.bin (made from save.disc) the recorded
# name ..\..\EVIL1;1, of the same length, in its directory record.
# Usage: save-patch.sh OUT
set -euo pipefail
bin=$1/save.bin
[ -f "$bin" ] || { echo "save-patch: $bin missing" >&2; exit 1; }
offsets=$(grep -obUa 'HOSTILE\.TXT;1' "$bin" | cut -d: -f1)
[ -n "$offsets" ] || { echo "save-patch: no HOSTILE.TXT record" >&2; exit 1; }
for at in $offsets; do
    printf '%s' '..\..\EVIL1;1' | dd of="$bin" bs=1 seek="$at" conv=notrunc status=none
done
