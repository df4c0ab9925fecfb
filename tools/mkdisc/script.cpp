// Disc script: one statement a line, parsed into a DiscPlan (see discbuild.h).
#include <stdio.h>
#include <stdlib.h>

#include "discbuild_internal.h"
#include "iso9660.h"

using namespace discbuild;

namespace {

std::vector<std::string> Tokenize(const std::string& line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string token;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            if (line[i] == '"') {
                ++i;
                while (i < line.size() && line[i] != '"')
                    token += line[i++];
                if (i < line.size())
                    ++i;
            } else {
                token += line[i++];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

bool ParseNumber(const std::string& text, long long max, long long* value)
{
    if (text.empty() || text.size() > 18)
        return false;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 0);
    if (*end || v < 0 || v > max)
        return false;
    *value = v;
    return true;
}

std::string Resolve(const std::string& base_dir, const std::string& path)
{
    if (path.empty() || path[0] == '/' || base_dir.empty())
        return path;
    return base_dir + "/" + path;
}

bool ValidPath(const std::string& path)
{
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    int depth = 0;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        size_t n = end - start;
        if (n == 0 || n > kMaxIdentifier - 2 || ++depth > kMaxDepth)
            return false;
        std::string part = path.substr(start, n);
        if (part == "." || part == ".." || part.find('\0') != std::string::npos)
            return false;
        start = end + 1;
    }
    return true;
}

// Splits "key=value"; a bare word has an empty value and has_value false.
void SplitOption(const std::string& token, std::string* key, std::string* value, bool* has_value)
{
    size_t eq = token.find('=');
    *has_value = eq != std::string::npos;
    *key = token.substr(0, eq);
    *value = *has_value ? token.substr(eq + 1) : std::string();
}

std::string NumberedPath(const std::string& path, long long index)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < slash)
        dot = path.size();
    char number[16];
    snprintf(number, sizeof number, "%04lld", index);
    return path.substr(0, dot) + number + path.substr(dot);
}

bool ParseDate(const std::vector<std::string>& t, DiscDate* date)
{
    if (t.size() != 3)
        return false;
    int y, mo, d, h, mi, s;
    char tail;
    if (sscanf(t[1].c_str(), "%d-%d-%d%c", &y, &mo, &d, &tail) != 3 ||
        sscanf(t[2].c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail) != 3)
        return false;
    if (y < 1900 || y > 2155 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59)
        return false;
    *date = DiscDate{y, mo, d, h, mi, s};
    return true;
}

bool ParseTrackLine(const std::vector<std::string>& t, DiscSessionSpec* session, const std::string& base_dir,
                    std::string* why)
{
    DiscTrackSpec track;
    size_t first_option = 1;
    if (t[0] == "track") {
        if (t.size() < 2 || (t[1] != "mode1" && t[1] != "mode2"))
            return Fail(why, "track needs mode1 or mode2");
        if (!session->tracks.empty())
            return Fail(why, "the data track must be the first track of its session");
        track.kind = t[1] == "mode1" ? kTrackMode1 : kTrackMode2;
        first_option = 2;
    } else {
        track.kind = kTrackAudio;
    }
    for (size_t i = first_option; i < t.size(); ++i) {
        std::string key, value;
        bool has_value;
        long long n = 0;
        SplitOption(t[i], &key, &value, &has_value);
        if (key == "gap" && (value == "stored" || value == "cue")) {
            track.pregap_stored = value == "stored";
            track.pregap_given = true;
        } else if (track.kind != kTrackAudio) {
            return Fail(why, "unknown track option " + t[i]);
        } else if (key == "seconds" && ParseNumber(value, kMaxDiscBlocks / kFramesPerSecond, &n)) {
            track.blocks = (int32_t)(n * kFramesPerSecond);
        } else if (key == "blocks" && ParseNumber(value, kMaxDiscBlocks, &n)) {
            track.blocks = (int32_t)n;
        } else if (key == "pcm" && has_value && !value.empty()) {
            track.pcm = Resolve(base_dir, value);
        } else if (key == "tone" && ParseNumber(value, 20000, &n)) {
            track.tone_hz = (int)n;
        } else if (key == "pregap" && ParseNumber(value, kMaxDiscBlocks, &n)) {
            track.pregap = (int32_t)n;
        } else {
            return Fail(why, "bad audio option " + t[i]);
        }
    }
    if (track.kind == kTrackAudio && track.blocks == 0 && track.pcm.empty())
        return Fail(why, "audio needs seconds=, blocks= or pcm=");
    session->tracks.push_back(track);
    return true;
}

bool ParseEntryLine(const std::vector<std::string>& t, DiscSessionSpec* session, const std::string& base_dir,
                    std::string* why)
{
    if (t.size() < 2 || !ValidPath(t[1]))
        return Fail(why, "bad path");
    DiscEntrySpec entry;
    entry.path = t[1];
    entry.is_dir = t[0] == "dir";
    long long count = 0;
    bool size_given = false;
    for (size_t i = 2; i < t.size(); ++i) {
        std::string key, value;
        bool has_value;
        long long n = 0;
        SplitOption(t[i], &key, &value, &has_value);
        if (key == "hidden" && !has_value) {
            entry.hidden = true;
        } else if (entry.is_dir) {
            return Fail(why, "unknown dir option " + t[i]);
        } else if (key == "form2" && !has_value) {
            entry.form2 = true;
        } else if (key == "size" && ParseNumber(value, kMaxFileSize, &n)) {
            entry.size = (uint32_t)n;
            size_given = true;
        } else if (key == "text" && has_value && value.size() <= kMaxFileSize) {
            entry.text = value;
            entry.has_text = true;
        } else if (key == "src" && has_value && !value.empty()) {
            entry.source = Resolve(base_dir, value);
        } else if (key == "filenum" && ParseNumber(value, 255, &n)) {
            entry.file_number = (uint8_t)n;
        } else if (key == "channel" && ParseNumber(value, 31, &n)) {
            entry.channel = (uint8_t)n;
        } else if (key == "extent" && ParseNumber(value, kMaxFileSize / kIsoBlockSize, &n) && n > 0) {
            entry.extent_blocks = (uint32_t)n;
        } else if (key == "count" && ParseNumber(value, kMaxCount, &n) && n > 0) {
            count = n;
        } else {
            return Fail(why, "bad file option " + t[i]);
        }
    }
    if (entry.has_text && !size_given)
        entry.size = (uint32_t)entry.text.size();
    if (count == 0) {
        session->entries.push_back(entry);
        return true;
    }
    for (long long i = 1; i <= count; ++i) {
        DiscEntrySpec numbered = entry;
        numbered.path = NumberedPath(entry.path, i);
        if (!ValidPath(numbered.path))
            return Fail(why, "bad path");
        session->entries.push_back(numbered);
    }
    return true;
}

bool ParseHostileLine(const std::vector<std::string>& t, DiscSessionSpec* session, std::string* why)
{
    static const struct { const char* kind; bool needs_path; int32_t default_blocks; } kKinds[] = {
        {"bad-root", false, 0},        {"root-zero", false, 0},       {"overclaim", false, 1000},
        {"truncate", false, 10},       {"dir-loop", true, 0},         {"dir-unreadable", true, 0},
        {"record-overrun", true, 0},   {"name-overrun", true, 0},
    };
    if (t.size() < 2)
        return Fail(why, "hostile needs a kind");
    for (const auto& k : kKinds) {
        if (t[1] != k.kind)
            continue;
        DiscHostileSpec h;
        h.kind = k.kind;
        h.blocks = k.default_blocks;
        size_t i = 2;
        if (k.needs_path) {
            if (t.size() < 3 || !ValidPath(t[2]))
                return Fail(why, "hostile " + t[1] + " needs a path");
            h.path = t[2];
            i = 3;
        }
        for (; i < t.size(); ++i) {
            long long n = 0;
            if (t[i].compare(0, 7, "blocks=") != 0 || !ParseNumber(t[i].substr(7), kMaxDiscBlocks, &n))
                return Fail(why, "bad hostile option " + t[i]);
            h.blocks = (int32_t)n;
        }
        session->hostile.push_back(h);
        return true;
    }
    return Fail(why, "unknown hostile kind " + t[1]);
}

bool ParseLine(const std::vector<std::string>& t, const std::string& raw_rest, DiscPlan* plan,
               const std::string& base_dir, std::string* why)
{
    static const struct { const char* word; std::string DiscPlan::*field; } kTextFields[] = {
        {"volume", &DiscPlan::volume_id},       {"system", &DiscPlan::system_id},
        {"volume-set", &DiscPlan::volume_set_id}, {"publisher", &DiscPlan::publisher_id},
        {"preparer", &DiscPlan::preparer_id},   {"application", &DiscPlan::application_id},
        {"copyright", &DiscPlan::copyright_id}, {"abstract", &DiscPlan::abstract_id},
        {"bibliographic", &DiscPlan::bibliographic_id},
    };
    for (const auto& f : kTextFields) {
        if (t[0] == f.word) {
            std::string value = raw_rest;
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            plan->*f.field = value;
            return true;
        }
    }
    DiscSessionSpec* session = &plan->sessions.back();
    if (t[0] == "session") {
        if (t.size() != 1)
            return Fail(why, "session takes no options");
        if (!session->tracks.empty() || !session->entries.empty() || plan->sessions.size() > 1)
            plan->sessions.push_back(DiscSessionSpec());
        return true;
    }
    if (t[0] == "date")
        return ParseDate(t, &plan->date) || Fail(why, "date needs YYYY-MM-DD HH:MM:SS");
    if (t[0] == "xa") {
        if (t.size() != 2 || (t[1] != "on" && t[1] != "off"))
            return Fail(why, "xa needs on or off");
        plan->xa = t[1] == "on";
        return true;
    }
    if (t[0] == "track" || t[0] == "audio")
        return ParseTrackLine(t, session, base_dir, why);
    if (t[0] == "dir" || t[0] == "file")
        return ParseEntryLine(t, session, base_dir, why);
    if (t[0] == "hostile")
        return ParseHostileLine(t, session, why);
    if (t[0] == "damage")
        return ParseDamageLine(t, &plan->damage, why);
    return Fail(why, "unknown statement " + t[0]);
}

}  // namespace

bool ParseDiscScript(const std::string& text, const std::string& base_dir, DiscPlan* plan, std::string* error)
{
    *plan = DiscPlan();
    plan->sessions.push_back(DiscSessionSpec());
    size_t start = 0;
    int line_number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        size_t hash = line.find('#');
        if (hash != std::string::npos && line.find('"') > hash)
            line.resize(hash);
        std::vector<std::string> tokens = Tokenize(line);
        if (tokens.empty())
            continue;
        size_t word_end = line.find(tokens[0]) + tokens[0].size();
        std::string rest = line.substr(word_end);
        rest.erase(0, rest.find_first_not_of(" \t"));
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
            rest.pop_back();
        std::string why;
        if (!ParseLine(tokens, rest, plan, base_dir, &why))
            return Fail(error, "line " + std::to_string(line_number) + ": " + why);
    }
    return true;
}
