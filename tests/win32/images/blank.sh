#!/usr/bin/env bash
# A sparse 2 GB .iso of zero blocks: every sector the drive synthesises is
# sound, and a verify of its million blocks takes long enough to be cancelled.
set -euo pipefail
truncate -s 2000M "$1/blank.iso"
