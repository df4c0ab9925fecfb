// Helpers for host tests that run Debian's disc tools (isoinfo, cd-info,
// vcdxbuild) on generated images. POSIX only.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "disc.h"
#include "discbuild.h"
#include "target.h"

// True when an executable of that name is on PATH.
bool ToolAvailable(const char* name);

// Runs a shell command line, capturing stdout and stderr together.
// Returns the exit status (-1 when the command could not be started).
int RunCommand(const std::string& command, std::string* output);

// Single-quoted for /bin/sh.
std::string ShellQuote(const std::string& text);

// A fresh directory under TMPDIR (or /tmp), named after tag; empty on failure.
std::string MakeTempDir(const char* tag);

// Removes a directory made by MakeTempDir together with its files.
void RemoveTempDir(const std::string& dir);

// The image builder's disc of a script, in memory; a test failure when it cannot be built.
bool BuildScriptDisc(const std::string& script, BuiltDisc* disc, const std::string& base_dir = std::string());

// The stored user data of block lbn of a built disc, for patching it.
uint8_t* StoredUserData(BuiltDisc& disc, int32_t lbn);

// DIR/NAME.cue (and its .bin) from an image builder script, by tools/mkdisc; "" on failure.
std::string MakeDiscFromScript(const std::string& dir, const std::string& name, const std::string& script);

// The virtual drive on an image file as the viewer drives it: opened, then
// MODE SELECT to block_len. Reads are READ(10)s of `blocks` into out.
struct ImageDrive {
    Disc disc;
    Target target;
};
bool OpenImageDrive(const std::string& path, int32_t block_len, ImageDrive* drive);
bool ReadImageDrive(ImageDrive* drive, int32_t lbn, uint32_t blocks, uint8_t* out, uint32_t len);

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool WriteFileText(const std::string& path, const std::string& text);

