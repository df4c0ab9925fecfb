#!/usr/bin/env bash
# A sparse .iso of zero blocks as long as a disc can be (449,849 blocks, the
# lead-out at 99:59:74): every sector the drive synthesises is sound, and a
# verify of it takes long enough to be cancelled.
set -euo pipefail
truncate -s $((449849 * 2048)) "$1/blank.iso"
