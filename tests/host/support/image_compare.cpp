#include "image_compare.h"

#include <stdio.h>
#include <string.h>

#include <utility>
#include <vector>

#include "disc.h"
#include "external_tools.h"
#include "toc.h"

const char kLayoutSingle[] = "track mode1\nfile /A.DAT size=40000\ndir /D\nfile /D/B.DAT size=3000\n";
const char kLayoutMixed[] =
    "xa on\ntrack mode2\nfile /A.DAT size=30000\nfile /V.XA size=23240 form2 filenum=1\n"
    "audio blocks=300 tone=440\naudio blocks=200 tone=880 gap=cue\n";
const char kLayoutMulti[] =
    "xa on\ntrack mode2\nfile /A.DAT size=5000\naudio blocks=100 tone=440\nsession\ntrack mode2\n"
    "file /B.DAT size=5000\nsession\ntrack mode2\nfile /C.XA size=4648 form2\n";

bool WriteLayoutPair(const char* script, const std::string& dir, const char* ext, DiscWriteOptions options,
                     std::string* error)
{
    std::string out;
    if (RunCommand("mkdir -p " + ShellQuote(dir + "/cue") + " " + ShellQuote(dir + "/" + ext), &out) != 0)
        return *error = out, false;
    if (!MakeDiscImage(script, dir + "/" + ext + "/x." + ext, options, error)) return false;
    options.subchannel = false;
    return MakeDiscImage(script, dir + "/cue/x.cue", options, error);
}

std::string CompareImages(const std::string& a, const std::string& b, bool swap_audio)
{
    Disc da, db;
    char err[512];
    std::string diff;
    if (!DiscOpen(a.c_str(), &da, err, sizeof err)) diff = std::string("cannot open: ") + err;
    else if (!DiscOpen(b.c_str(), &db, err, sizeof err)) diff = std::string("cannot open: ") + err;
    for (int format : {kTocFormatTrack, kTocFormatFull}) {
        if (!diff.empty()) break;
        for (bool msf : {false, true}) {
            std::vector<uint8_t> ra, rb;
            BuildTocResponse(da, format, msf, 0, &ra);
            BuildTocResponse(db, format, msf, 0, &rb);
            if (ra != rb) diff = "READ TOC format " + std::to_string(format) + (msf ? " MSF" : " LBA") + " differs";
        }
    }
    for (int32_t lba = 0; diff.empty() && lba < DiscLeadout(da) + 2; ++lba) {
        uint8_t ra[kRawSectorSize], rb[kRawSectorSize];
        SectorType ta = kSectorMode0, tb = kSectorMode0;
        DiscReadResult xa = DiscReadRaw(da, lba, ra, &ta), xb = DiscReadRaw(db, lba, rb, &tb);
        if (xb == kDiscReadOk && tb == kSectorAudio && swap_audio)
            for (int i = 0; i < kRawSectorSize; i += 2) std::swap(rb[i], rb[i + 1]);
        if (xa != xb || (xa == kDiscReadOk && (ta != tb || memcmp(ra, rb, sizeof ra) != 0)))
            diff = "block " + std::to_string(lba) + " differs (result " + std::to_string(xa) + "/" +
                   std::to_string(xb) + ", type " + std::to_string(ta) + "/" + std::to_string(tb) + ")";
    }
    DiscClose(&da);
    DiscClose(&db);
    return diff;
}

std::string Refusal(const std::string& path, const std::string& message)
{
    Disc disc;
    char err[512];
    if (DiscOpen(path.c_str(), &disc, err, sizeof err)) return DiscClose(&disc), path + " opened";
    const std::string text = err, name = path.substr(path.rfind('/') + 1);
    return text.find(message) != std::string::npos && text.find(name) != std::string::npos ? "" : text;
}

std::string ReadResults(const std::string& path, int32_t first, int32_t last)
{
    Disc disc;
    char err[512];
    if (!DiscOpen(path.c_str(), &disc, err, sizeof err)) return err;
    std::string results;
    uint8_t raw[kRawSectorSize];
    SectorType type;
    for (int32_t lba = first; lba <= last; ++lba) results += (char)('0' + DiscReadRaw(disc, lba, raw, &type));
    DiscClose(&disc);
    return results;
}
