# The decoders of compressed CHD hunks: zlib (raw deflate), liblzma (raw
# LZMA1, which needs LZMA_FILTER_LZMA1EXT: xz-utils 5.4 or later) and libFLAC
# (C API), as one interface target, chd_codecs, that vdrive_core links.

add_library(chd_codecs INTERFACE)

if(WIN32)
    # Static i686 builds: liblzma and libFLAC from scripts/win32-codecs.sh,
    # which setup.sh runs; zlib from libz-mingw-w64-dev.
    set(QUILLET_WIN32_CODECS /opt/quillet/i686 CACHE PATH
        "Prefix of the static liblzma and libFLAC for i686-w64-mingw32")
    set(win32_codec_files include/lzma.h include/FLAC/stream_decoder.h lib/libFLAC.a lib/liblzma.a)
    foreach(file ${win32_codec_files})
        if(NOT EXISTS ${QUILLET_WIN32_CODECS}/${file})
            message(FATAL_ERROR "${QUILLET_WIN32_CODECS}/${file} is missing: the static liblzma and libFLAC "
                    "for i686 are built by scripts/setup.sh (as root), or set QUILLET_WIN32_CODECS to "
                    "the prefix they are installed in.")
        endif()
    endforeach()
    file(STRINGS ${QUILLET_WIN32_CODECS}/include/lzma/lzma12.h lzma1ext REGEX "define LZMA_FILTER_LZMA1EXT")
    if(NOT lzma1ext)
        message(FATAL_ERROR "${QUILLET_WIN32_CODECS}: liblzma is older than 5.4 (no LZMA_FILTER_LZMA1EXT).")
    endif()
    # zlib.h is in the cross compiler's own include directory.
    find_path(CHD_ZLIB_INCLUDE_DIR zlib.h)
    find_library(CHD_ZLIB_LIBRARY libz.a)
    if(NOT CHD_ZLIB_INCLUDE_DIR OR NOT CHD_ZLIB_LIBRARY)
        message(FATAL_ERROR "zlib for i686-w64-mingw32 is missing: install libz-mingw-w64-dev.")
    endif()
    target_include_directories(chd_codecs SYSTEM INTERFACE ${QUILLET_WIN32_CODECS}/include)
    target_link_libraries(chd_codecs INTERFACE
        ${QUILLET_WIN32_CODECS}/lib/libFLAC.a ${QUILLET_WIN32_CODECS}/lib/liblzma.a ${CHD_ZLIB_LIBRARY})
    # Without these the headers declare every function as imported from a DLL.
    target_compile_definitions(chd_codecs INTERFACE LZMA_API_STATIC FLAC__NO_DLL)
else()
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
        pkg_check_modules(CHD_CODECS QUIET IMPORTED_TARGET zlib "liblzma>=5.4" flac)
    endif()
    if(NOT CHD_CODECS_FOUND)
        message(FATAL_ERROR "zlib, liblzma 5.4 or later and libFLAC are needed, found through pkg-config: "
                "install pkg-config, zlib1g-dev, liblzma-dev and libflac-dev (scripts/setup.sh does).")
    endif()
    target_link_libraries(chd_codecs INTERFACE PkgConfig::CHD_CODECS)
endif()
