#!/usr/bin/env bash
# A sparse 700 MB .iso of zero blocks (a disc holds no more than 99:59:74):
# every sector the drive synthesises is sound, and a verify or a find of its
# 358,400 blocks takes long enough to be cancelled.
set -euo pipefail
truncate -s 700M "$1/blank.iso"
