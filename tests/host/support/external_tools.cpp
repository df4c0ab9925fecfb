#include "external_tools.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>


#include <gtest/gtest.h>

#include "cdb.h"

bool ToolAvailable(const char* name)
{
    return RunCommand("command -v " + ShellQuote(name) + " >/dev/null", nullptr) == 0;
}

int RunCommand(const std::string& command, std::string* output)
{
    std::string line = command + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    char buffer[4096];
    if (!pipe) return -1;
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        if (output) output->append(buffer, n);
    int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string MakeTempDir(const char* tag)
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillet-" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

void RemoveTempDir(const std::string& dir)
{
    if (dir.find("/quillet-") != std::string::npos) RunCommand("rm -rf " + ShellQuote(dir), nullptr);
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* f = fopen(path.c_str(), "rb");
    uint8_t buffer[65536];
    bytes->clear();
    for (size_t n; f && (n = fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes->insert(bytes->end(), buffer, buffer + n);
    bool ok = f && !ferror(f);
    return (f ? fclose(f) : 0) == 0 && ok;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && (size == 0 || fwrite(data, 1, size, f) == size);
    return f && fclose(f) == 0 && ok;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

bool BuildScriptDisc(const std::string& script, BuiltDisc* disc, const std::string& base_dir)
{
    DiscPlan plan;
    std::string error;
    bool ok = ParseDiscScript(script, base_dir, &plan, &error) && BuildDisc(plan, disc, &error);
    EXPECT_TRUE(ok) << error << "\n" << script;
    return ok;
}

uint8_t* StoredUserData(BuiltDisc& disc, int32_t lbn)
{
    for (BuiltTrack& t : disc.tracks) {
        int32_t first = t.start - (t.pregap_stored ? t.pregap : 0);
        if (lbn >= first && lbn < t.start + t.Length()) return t.blocks[(size_t)(lbn - first)].data;
    }
    ADD_FAILURE() << "no block " << lbn;
    static uint8_t scratch[kRawSectorSize];
    return scratch;
}

std::string MakeDiscFromScript(const std::string& dir, const std::string& name, const std::string& script)
{
    std::string base = dir + "/" + name, out;
    if (!WriteFileText(base + ".disc", script)) return "";
    std::string mkdisc = std::string(QUILLET_BINARY_DIR) + "/tools/mkdisc";
    int rc = RunCommand(ShellQuote(mkdisc) + " " + ShellQuote(base + ".disc") + " " + ShellQuote(base + ".cue"), &out);
    EXPECT_EQ(rc, 0) << out;
    return rc == 0 ? base + ".cue" : "";
}

bool OpenImageDrive(const std::string& path, int32_t block_len, ImageDrive* drive)
{
    char err[512];
    if (!DiscOpen(path.c_str(), &drive->disc, err, sizeof err)) {
        ADD_FAILURE() << err;
        return false;
    }
    TargetInit(&drive->target, &drive->disc);
    uint8_t cdb[kCdbAreaSize], params[kModeParamListSize], sense[kSenseFixedSize];
    int n = BuildModeSelect(cdb, params, block_len);
    return TargetExecute(&drive->target, cdb, (uint32_t)n, params, sizeof params, sense, sizeof sense) == kScsiStatusGood;
}

bool ReadImageDrive(ImageDrive* drive, int32_t lbn, uint32_t blocks, uint8_t* out, uint32_t len)
{
    uint8_t cdb[kCdbAreaSize], sense[kSenseFixedSize];
    int n = BuildRead10(cdb, lbn, blocks);
    return TargetExecute(&drive->target, cdb, (uint32_t)n, out, len, sense, sizeof sense) == kScsiStatusGood;
}
