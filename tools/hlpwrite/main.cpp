// hlpwrite: compiles the help source text (UTF-8) into a WinHelp 3.1 file
// whose texts are in code page 932.
//   hlpwrite SOURCE.txt OUTPUT.hlp
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "helpsource.h"
#include "hlpfile.h"

namespace {

// UTF-8 to code page 932 through iconv; false on a character it lacks.
bool ToCp932(const std::string& utf8, std::string* out)
{
    out->clear();
    if (utf8.empty()) return true;
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == (iconv_t)-1) return false;
    std::string in = utf8;
    std::string buffer(in.size() * 2 + 16, '\0');   // CP932 never needs more bytes than UTF-8
    char* src = &in[0];
    size_t src_left = in.size();
    char* dst = &buffer[0];
    size_t dst_left = buffer.size();
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (rc == (size_t)-1 || src_left != 0) return false;
    out->assign(buffer.data(), buffer.size() - dst_left);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: hlpwrite SOURCE.txt OUTPUT.hlp\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        fprintf(stderr, "hlpwrite: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();

    hlp::HelpDoc doc;
    std::string error;
    if (!hlp::ParseHelpSource(text.str(), ToCp932, &doc, &error)) {
        fprintf(stderr, "%s:%s\n", argv[1], error.c_str());
        return 1;
    }
    hlp::Bytes file;
    if (!hlp::WriteHelpFile(doc, &file, &error)) {
        fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), (std::streamsize)file.size());
    out.close();
    if (!out) {
        fprintf(stderr, "hlpwrite: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
