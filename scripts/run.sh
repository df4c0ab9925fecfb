#!/usr/bin/env bash
# Builds the viewer and starts it on the bundled sample disc:
#   build/host   the image builder and the sample disc (build/host/sample/sample.cue)
#   build/win32  tamrisk.dll and quillet.exe, run under Wine
# Uses the real display when DISPLAY is set, else a virtual one (Xvfb).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
jobs=$(nproc)

if [ "$(id -u)" -eq 0 ]; then bash "$root/scripts/setup.sh"; else sudo bash "$root/scripts/setup.sh"; fi

mkdir -p "$build"
cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >"$build/host.configure.log"
cmake --build "$build/host" -j"$jobs" --target sample_disc
cmake -S "$root" -B "$build/win32" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLET_HOST_BINARY_DIR="$build/host" \
    >"$build/win32.configure.log"
cmake --build "$build/win32" -j"$jobs" --target quillet

# Z: is the root of the file system in every Wine prefix.
sample='Z:'$(echo "$build/host/sample/sample.cue" | tr '/' '\\')
export QUILLET_BINARY_DIR=$build/win32
exec "$root/scripts/wine-run.sh" "$build/win32/bin/quillet.exe" "$sample"
