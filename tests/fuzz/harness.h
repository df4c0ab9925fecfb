// What the fuzz targets share. Seeds are kept as hex text (.hex) where CMake
// writes them; each is turned into the bytes it spells before a run. The
// image readers' targets lay discs out over a data file of their own and
// read what the virtual drive would.
#pragma once
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "toc.h"

inline void WriteSeedFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp || fwrite(bytes.data(), 1, bytes.size(), fp) != bytes.size() || fclose(fp) != 0) abort();
}

// Expands the .hex seeds of the folder named by FUZZ_SEEDS, if set.
inline void ExpandHexSeeds()
{
    const char* dir = getenv("FUZZ_SEEDS");
    DIR* d = dir ? opendir(dir) : nullptr;
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name, path = std::string(dir) + "/" + name;
        FILE* fp = name.size() > 4 && name.compare(name.size() - 4, 4, ".hex") == 0 ? fopen(path.c_str(), "rb") : nullptr;
        if (!fp) continue;
        std::vector<uint8_t> bytes;
        unsigned v;
        while (fscanf(fp, "%2x", &v) == 1) bytes.push_back((uint8_t)v);
        fclose(fp);
        unlink(path.c_str());
        WriteSeedFile(path.substr(0, path.size() - 4) + ".bin", bytes);
    }
    closedir(d);
}

// Expands the seeds and makes a folder of its own holding file: size bytes
// of i * step. Returns the folder, ending in '/'.
inline std::string MakeDataFile(const char* file, size_t size, unsigned step)
{
    ExpandHexSeeds();
    char tmpl[] = "/tmp/quillet_fuzz.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = (uint8_t)(i * step);
    WriteSeedFile(std::string(tmpl) + "/" + file, data);
    return std::string(tmpl) + "/";
}

// A reader's result: its message terminated; a disc it laid out answers
// every READ TOC format, keeps its tracks in order and reads the edges of
// every track and of its stored blocks.
inline void CheckDisc(bool laid_out, Disc* disc, const char* err, size_t err_size)
{
    if (strnlen(err, err_size) == err_size) abort();
    std::vector<uint8_t> toc;
    for (int format = 0; laid_out && format < 3; ++format) BuildTocResponse(*disc, format, true, 0, &toc);
    uint8_t raw[2352];
    SectorType type;
    for (size_t i = 0; laid_out && i < disc->tracks.size(); ++i) {
        const DiscTrack& t = disc->tracks[i];
        if (t.start < t.pregap_start || t.end <= t.start || t.end > kMaxLeadout) abort();
        for (int32_t lba : {t.pregap_start, t.stored_first, t.stored_first + t.stored_count - 1, t.start, t.end - 1})
            DiscReadRaw(*disc, lba, raw, &type);
    }
    if (disc) DiscClose(disc);
}
