#!/usr/bin/env bash
# Builds static liblzma and libFLAC for i686-w64-mingw32 from Debian's own
# source packages (xz-utils, flac, patches applied), of the very versions the
# native -dev packages come from, into /opt/quillet/i686-codecs-<versions>.
# /opt/quillet/i686 links to the current build; the Win32 configuration takes
# its headers and libraries from there. A build that exists is kept, so only
# a new package version builds again. Run as root (setup.sh runs it).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/apt-sources.sh"
jobs=$(nproc)

# "source-package=version" of the package a native -dev package was built from.
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }
xz=$(source_of liblzma-dev)
flac=$(source_of libflac-dev)

base=/opt/quillet
prefix=$base/i686-codecs-${xz/=/-}-${flac/=/-}
link=$base/i686
if [ -f "$prefix/.complete" ]; then
    [ "$(readlink "$link" 2>/dev/null)" = "$prefix" ] || ln -sfn "$prefix" "$link"
    exit 0
fi

# The release's own archive, security and update suites as deb-src entries of
# a private apt configuration: the machine's sources may name binaries only.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A step's output is shown only when it fails.
quiet() { "$@" >"$tmp/log" 2>&1 || { cat "$tmp/log" >&2; return 1; }; }
debian_sources | while read -r uri suite; do
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main"
done >"$tmp/sources.list"
if [ ! -s "$tmp/sources.list" ]; then
    echo "win32-codecs: no Debian archive of this release is configured in /etc/apt/sources.list" \
         "or /etc/apt/sources.list.d/, so the xz-utils and flac sources cannot be fetched" >&2
    exit 1
fi
mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial"
apt_opts=(-o Dir::Etc::SourceList="$tmp/sources.list" -o Dir::Etc::SourceParts=/nonexistent
          -o Dir::State::Lists="$tmp/lists" -o Dir::Cache="$tmp/cache"
          -o Acquire::Languages=none -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update -qq
# The installed versions, or, where the archive has moved on from them, the
# release's current ones.
fetch() { rm -rf "$tmp/src" && mkdir "$tmp/src" && (cd "$tmp/src" && apt-get "${apt_opts[@]}" source -qq "$@"); }
if ! fetch "$xz" "$flac" >/dev/null 2>&1; then
    echo "win32-codecs: $xz or $flac is no longer in the archive; building the release's current sources" >&2
    fetch "${xz%%=*}" "${flac%%=*}" >/dev/null
fi

# Built in place; ".complete" marks a finished build.
rm -rf "$prefix"
mkdir -p "$prefix"

# liblzma alone: no programs, scripts, documents or translations; no threads,
# which the raw decoder does not use and which would tie it to Vista's API.
(cd "$tmp"/src/xz-utils-*/ &&
 quiet ./configure --host=i686-w64-mingw32 CFLAGS=-O2 --prefix="$prefix" \
     --disable-shared --enable-static --disable-threads --disable-nls --disable-doc --disable-scripts \
     --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links &&
 quiet make -j"$jobs" -C src/liblzma install)

# libFLAC (C) alone: no Ogg, C++ bindings, programs, examples, tests or
# documents; no stack protector, which would need libssp at every link.
quiet cmake -S "$(echo "$tmp"/src/flac-*/)" -B "$tmp/flac-build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DWITH_OGG=OFF -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF \
    -DINSTALL_CMAKE_CONFIG_MODULE=OFF
quiet cmake --build "$tmp/flac-build" -j"$jobs"
quiet cmake --install "$tmp/flac-build"
rm -rf "$prefix/include/FLAC++"   # installed with the C headers regardless

(cd "$tmp/src" && ls *.dsc) >"$prefix/.complete"   # the source versions built
ln -sfn "$prefix" "$link"
# Builds of versions no longer installed.
find "$base" -maxdepth 1 -name 'i686-codecs-*' ! -path "$prefix" -exec rm -rf {} +
