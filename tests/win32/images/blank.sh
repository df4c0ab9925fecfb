#!/usr/bin/env bash
# A sparse .iso of 435,200 zero blocks, just inside the 99:59:74 a TOC can
# address: every sector the drive synthesises is sound, and a verify of it
# takes long enough to be cancelled.
set -euo pipefail
rm -f "$1/blank.iso"
truncate -s 850M "$1/blank.iso"
