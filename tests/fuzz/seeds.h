// Seed corpora of the fuzz targets. Seeds are kept as hex text (.hex) where
// CMake writes them; each is turned into the bytes it spells before a run.
// A target may also write seeds of its own that are easier built in code.
#pragma once
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

inline void WriteSeedFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp) abort();
    fwrite(bytes.data(), 1, bytes.size(), fp);
    fclose(fp);
}

// The folder named by FUZZ_SEEDS (null when unset), its .hex seeds expanded.
inline const char* ExpandHexSeeds()
{
    const char* dir = getenv("FUZZ_SEEDS");
    if (!dir) return nullptr;
    DIR* d = opendir(dir);
    if (!d) return dir;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".hex") != 0) continue;
        std::string path = std::string(dir) + "/" + name;
        FILE* fp = fopen(path.c_str(), "rb");
        if (!fp) continue;
        std::vector<uint8_t> bytes;
        unsigned v;
        while (fscanf(fp, "%2x", &v) == 1) bytes.push_back((uint8_t)v);
        fclose(fp);
        unlink(path.c_str());
        WriteSeedFile(path.substr(0, path.size() - 4) + ".bin", bytes);
    }
    closedir(d);
    return dir;
}
