// Fuzzes the TOC report renderer: any READ TOC response of up to 4096 bytes,
// as a full TOC and as a track TOC, into the viewer's report buffer and into
// a short one. Response and text buffers are exactly as long as stated, so a
// read past the response or a write past the text is caught.
#include "harness.h"
#include "tocreport.h"

static void Render(int32_t (*render)(const uint8_t*, uint32_t, char*, uint32_t), const std::vector<uint8_t>& resp,
                   uint32_t text_size)
{
    std::vector<char> text(text_size);
    render(resp.data(), (uint32_t)resp.size(), text.data(), text_size);
    if (memchr(text.data(), '\0', text_size) == nullptr) abort();
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ExpandHexSeeds();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kTocResponseSize) return 0;
    std::vector<uint8_t> resp(data, data + size);
    // A short text: its size follows the input, so every cut point is met.
    uint32_t short_size = 1 + (uint32_t)(size * 7 % 400);
    for (auto render : {RenderFullToc, RenderTrackToc}) {
        Render(render, resp, kTocReportSize);
        Render(render, resp, short_size);
    }
    return 0;
}
