// The help writer: context keys as the viewer searches them in a written file,
// and what the format cannot hold. Wine's help viewer reads
// the whole shipped file, made from its source, in gui_about_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "bytes.h"
#include "hlpfile.h"

using hlp::Bytes;

namespace {


hlp::HelpDoc ManyTopics(int count)
{
    hlp::HelpDoc doc;
    doc.title = "T";
    for (int i = 0; i < count; i++) {
        hlp::Topic t;
        t.context = "topic_" + std::to_string(i);
        t.title = "Title " + std::to_string(i);
        t.paragraphs.push_back({hlp::kFontBody, {{hlp::RunKind::Text, std::string(200 + 37 * (i % 7), 'a' + i % 26), ""}}});
        t.paragraphs.push_back({hlp::kFontBody,
                                {{hlp::RunKind::Text, "see ", ""}, {hlp::RunKind::Jump, "first", "topic_0"},
                                 {hlp::RunKind::LineBreak, "", ""}, {hlp::RunKind::Tab, "", ""}}});
        doc.topics.push_back(t);
    }
    return doc;
}

// ---- Tests ----

// |CONTEXT is searched with signed keys: a hash negative as a signed number
// ("errors") sorts before the others. A file this small has one directory
// leaf and one |CONTEXT leaf.
TEST(HlpWrite, ContextKeysSortAsSignedNumbers)
{
    hlp::HelpDoc doc = ManyTopics(30);
    doc.topics[5].context = "errors";
    Bytes image;
    std::string error;
    ASSERT_TRUE(hlp::WriteHelpFile(doc, &image, &error)) << error;
    const uint8_t* leaf = &image[get_le32(&image[4]) + 9 + 38];
    const uint8_t* context = nullptr;
    const uint8_t* p = leaf + 8;
    for (unsigned i = 0; i < get_le16(leaf + 2); i++, p += strlen((const char*)p) + 1 + 4)
        if (strcmp((const char*)p, "|CONTEXT") == 0) context = &image[get_le32(p + strlen((const char*)p) + 1) + 9];
    ASSERT_NE(context, nullptr);
    ASSERT_EQ(get_le16(context + 32), 1);
    std::vector<int32_t> keys;
    for (unsigned i = 0; i < get_le16(context + 38 + 2); i++) keys.push_back((int32_t)get_le32(context + 46 + 8 * i));
    EXPECT_EQ(keys.size(), doc.topics.size());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(keys.front(), (int32_t)hlp::ContextHash("errors"));
}

TEST(HlpWrite, RefusesWhatTheFormatCannotHold)
{
    struct Case { const char* what; std::function<void(hlp::HelpDoc&)> change; } cases[] = {
        {"jump to nowhere", [](hlp::HelpDoc& d) { d.topics[1].paragraphs[1].runs[1].target = "nowhere"; }},
        {"sizes past the two-byte fields", [](hlp::HelpDoc& d) { d.topics[0].paragraphs[0].runs[0].text.assign(0x4000, 'x'); }},
    };
    Bytes image;
    std::string error;
    ASSERT_TRUE(hlp::WriteHelpFile(ManyTopics(2), &image, &error)) << error;
    for (const Case& c : cases) {
        hlp::HelpDoc doc = ManyTopics(2);
        c.change(doc);
        error.clear();
        EXPECT_FALSE(hlp::WriteHelpFile(doc, &image, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    EXPECT_FALSE(hlp::BuildFileSystem({{"|FONT", {}}, {"|FONT", {}}}, &image, &error));   // a name twice
}

}  // namespace
