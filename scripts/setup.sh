#!/usr/bin/env bash
# Brings a fresh Debian machine to everything the build and the tests need.
# Idempotent: installs only what is missing. Run as root (or through sudo).
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

pkgs=(cmake make g++ clang libclang-rt-14-dev googletest
      g++-mingw-w64-i686-posix binutils-mingw-w64-i686
      wine wine64 wine32:i386 xvfb xauth x11-utils x11-apps imagemagick
      locales fonts-vlgothic
      genisoimage xorriso vcdimager libcdio-utils cdrdao ccd2iso mdf2iso nrg2iso mame-tools
      zlib1g-dev liblzma-dev libflac-dev pkg-config libz-mingw-w64-dev dpkg-dev openssl)
need=()
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi

. "$(dirname "${BASH_SOURCE[0]}")/apt-sources.sh"

# Some sandboxes (gVisor among them) cannot execute 32-bit x86 code, which the
# i386 half of Wine needs. There 32-bit programs run through qemu's user-mode
# emulation, registered with binfmt_misc. Wine reserves its address space with
# MAP_FIXED_NOREPLACE, which qemu honours only in recent versions (bookworm's
# 7.2 turns start-up into tens of thousands of mmap calls), so a current
# qemu-user, statically linked, is unpacked from Debian's unstable suite, on
# the archive this machine's apt sources already name.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    qemu_dir=/opt/quillet/qemu
    qemu=$qemu_dir/usr/bin/qemu-i386
    if [ ! -x "$qemu" ]; then
        archive=$(debian_archive_uri)
        if [ -z "$archive" ]; then
            echo "setup: this machine cannot execute 32-bit programs, so Wine needs an i386 emulator" \
                 "(qemu-user from Debian's unstable suite), but no Debian archive is configured in" \
                 "/etc/apt/sources.list or /etc/apt/sources.list.d/: add one and run again." >&2
            exit 1
        fi
        tmp=$(mktemp -d)
        mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial"
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive sid main" > "$tmp/sid.list"
        apt_opts=(-o Dir::Etc::SourceList="$tmp/sid.list" -o Dir::Etc::SourceParts=/nonexistent
                  -o Dir::State::Lists="$tmp/lists" -o Dir::Cache="$tmp/cache"
                  -o APT::Architectures::=amd64 -o Acquire::Check-Valid-Until=false
                  -o Acquire::Languages=none -o APT::Sandbox::User=root)
        apt-get "${apt_opts[@]}" update -qq
        (cd "$tmp" && apt-get "${apt_opts[@]}" download qemu-user >/dev/null 2>&1)
        mkdir -p "$qemu_dir"
        dpkg -x "$tmp"/qemu-user_*.deb "$qemu_dir"
        rm -rf "$tmp"
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
    [ -e $binfmt/qemu-i386 ] && echo -1 > $binfmt/qemu-i386
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
        > $binfmt/register
    /usr/lib/wine/wine --version >/dev/null
fi

# liblzma and libFLAC for the Win32 build, from Debian's sources of the
# versions installed above (zlib comes built, libz-mingw-w64-dev).
bash "$(dirname "${BASH_SOURCE[0]}")/win32-codecs.sh"
