// mkdisc: writes a disc image from a disc script (see discbuild.h).
//   mkdisc [--mode1=2048|2352] [--mode2=2336|2352] [--split] [--sub] [--nrg-old] SCRIPT OUT.cue|OUT.iso|OUT.toc|OUT.ccd|OUT.mds|OUT.nrg
#include <stdio.h>
#include <string.h>

#include <string>

#include "discbuild.h"

namespace {

int Usage()
{
    fprintf(stderr, "usage: mkdisc [--mode1=2048|2352] [--mode2=2336|2352] [--split] [--sub] [--nrg-old] SCRIPT OUT.cue|OUT.iso|OUT.toc|OUT.ccd|OUT.mds|OUT.nrg\n");
    return 2;
}

bool ReadText(const char* path, std::string* text)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0 && text->size() < (16u << 20))
        text->append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    DiscWriteOptions options;
    const char* script_path = nullptr;
    const char* out_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (strcmp(a, "--mode1=2048") == 0)
            options.mode1_size = kUserDataSize;
        else if (strcmp(a, "--mode1=2352") == 0)
            options.mode1_size = kRawSectorSize;
        else if (strcmp(a, "--mode2=2336") == 0)
            options.mode2_size = kMode2DataSize;
        else if (strcmp(a, "--mode2=2352") == 0)
            options.mode2_size = kRawSectorSize;
        else if (strcmp(a, "--split") == 0)
            options.split = true;
        else if (strcmp(a, "--sub") == 0)
            options.subchannel = true;
        else if (strcmp(a, "--nrg-old") == 0)
            options.nrg_old = true;
        else if (a[0] == '-' && a[1] != '\0')
            return Usage();
        else if (!script_path)
            script_path = a;
        else if (!out_path)
            out_path = a;
        else
            return Usage();
    }
    if (!script_path || !out_path)
        return Usage();
    std::string text;
    if (!ReadText(script_path, &text)) {
        fprintf(stderr, "mkdisc: cannot read %s\n", script_path);
        return 1;
    }
    std::string base(script_path);
    size_t slash = base.rfind('/');
    base = slash == std::string::npos ? std::string() : base.substr(0, slash);
    DiscPlan plan;
    BuiltDisc disc;
    std::string error;
    if (!ParseDiscScript(text, base, &plan, &error) || !BuildDisc(plan, &disc, &error) ||
        !WriteDiscImage(disc, out_path, options, &error)) {
        fprintf(stderr, "mkdisc: %s: %s\n", script_path, error.c_str());
        return 1;
    }
    return 0;
}
