#!/usr/bin/env bash
# Writes the GUI tests' disc images into OUT: every NAME.disc script here
# through the image builder as OUT/NAME.cue, then every other *.sh here,
# which makes images from those, with Debian's tools or with the builder
# (called with OUT and MKDISC as arguments).
# Usage: make-images.sh MKDISC OUT
set -euo pipefail
mkdisc=$1 out=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$out"
shopt -s nullglob
for script in "$here"/*.disc; do
    name=$(basename "$script" .disc)
    "$mkdisc" "$script" "$out/$name.cue"
done
for maker in "$here"/*.sh; do
    [ "$maker" = "$here/make-images.sh" ] && continue
    bash "$maker" "$out" "$mkdisc"
done
