#!/usr/bin/env bash
# Patches images made from iso-*.disc for the ISO 9660 window tests:
#   iso-multi: the first session's volume identifier becomes FIRST_SESSION;
#   iso-blank: a copy of iso-multi whose descriptors hold no "CD001".
# Usage: iso-patch.sh OUT
set -euo pipefail
out=$1
raw=2352 header=16 pvd=16   # Mode 1 raw sectors: user data after 16 bytes
bin=$out/iso-multi.bin
[ -f "$bin" ] || { echo "iso-patch: $bin missing" >&2; exit 1; }

# Writes TEXT at byte OFFSET of FILE.
put() { printf '%s' "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
# Whether the user data of LBN in FILE starts a volume descriptor.
is_pvd() { [ "$(dd if="$1" bs=1 skip=$(( $2 * raw + header + 1 )) count=5 status=none | tr -d '\000')" = CD001 ]; }

is_pvd "$bin" $pvd || { echo "iso-patch: no descriptor at block $pvd" >&2; exit 1; }
put "$bin" $(( pvd * raw + header + 40 )) "FIRST_SESSION   "

cp "$bin" "$out/iso-blank.bin"
sed 's/iso-multi\.bin/iso-blank.bin/' "$out/iso-multi.cue" > "$out/iso-blank.cue"
# Every descriptor of the image loses its identifier.
blocks=$(( $(stat -c %s "$out/iso-blank.bin") / raw ))
for (( lbn = 0; lbn < blocks; lbn++ )); do
    if is_pvd "$out/iso-blank.bin" $lbn; then
        put "$out/iso-blank.bin" $(( lbn * raw + header + 1 )) "XXXXX"
    fi
done
