// What the user sees when a command fails: the Retry/Cancel boxes of the
// status and sense reporting, and PrintError, through the real exports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cp932.h"
#include "message_box_hook.h"
#include "scripted_device.h"
#include "tamrisk.h"

namespace {

uint8_t buffer[2048];

const unsigned kInfoRetry = MB_RETRYCANCEL | MB_ICONINFORMATION;   // 0x45
const unsigned kErrorRetry = MB_RETRYCANCEL | MB_ICONERROR;        // 0x15

ScsiReply Status(uint8_t status)
{
    ScsiReply reply;
    reply.status = status;
    reply.sense = FixedSense(3, 0x11, 0x05);   // must be ignored unless CHECK CONDITION
    return reply;
}

struct BoxCase {
    const char* name;
    ScsiReply reply;
    const char* caption;   // UTF-8; null for the platform's default caption
    const char* text;      // UTF-8
    unsigned style;
};

// The decision and its texts are sense_test's; here the box shows them, with
// the library's strings in the ANSI code page.
TEST(Reporting, EachFailureAsksWithItsBox)
{
    const BoxCase cases[] = {
        {"not ready, no medium", CheckCondition(2, 0x3A, 0x00), u8"デバイスの未準備",
         u8"メディアが入っていません\nAdditional sense code:[3A] Code Qualify:[00]", kInfoRetry},
        {"short sense", CheckCondition(3, 0x11, 0x05, 4), nullptr, u8"メディアに関するエラー", kInfoRetry},
        {"busy", Status(8), nullptr, u8"SCSIバスが使用中です！", kErrorRetry},
    };
    for (const BoxCase& c : cases) {
        ScriptedDevice device;
        device.Reply(c.reply);
        ScopedBoxHook hook({IDCANCEL});
        EXPECT_EQ(cdrEject(NULL, device.handle), 2) << c.name;
        ASSERT_EQ(hook.boxes().size(), 1u) << c.name;
        const RecordedBox& box = hook.boxes()[0];
        EXPECT_EQ(box.caption, c.caption ? Cp932(c.caption) : DefaultBoxCaption()) << c.name;
        EXPECT_EQ(box.text, Cp932(c.text)) << c.name;
        EXPECT_EQ(box.style, c.style) << c.name;
        EXPECT_EQ(device.sent.size(), 1u) << c.name;
    }
}

TEST(Reporting, RetrySendsTheSameCommandAgainUntilSuccessOrCancel)
{
    struct Case { std::vector<ScsiReply> replies; std::initializer_list<int> answers; short expected; };
    const Case cases[] = {
        {{Status(8), CheckCondition(2, 0x04, 0x01)}, {IDRETRY, IDRETRY}, 0},
        {std::vector<ScsiReply>(4, CheckCondition(3, 0x11, 0x05)), {IDRETRY, IDRETRY, IDRETRY, IDCANCEL}, 2},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        for (const ScsiReply& r : c.replies)
            device.Reply(r);
        ScopedBoxHook hook(c.answers);
        EXPECT_EQ(cdrRead(NULL, device.handle, buffer, 1000, 1, 1), c.expected);
        EXPECT_EQ(hook.boxes().size(), c.answers.size());
        ASSERT_EQ(device.sent.size(), c.answers.size() + (c.expected == 0));
        EXPECT_EQ(device.sent.back().cdb, device.sent[0].cdb);
    }
}

TEST(Reporting, NoBoxWhenSilentOrWhenTheSenseMeansSuccess)
{
    struct Case { const char* name; ScsiReply reply; LONG report; short expected; };
    const Case cases[] = {
        {"medium error, silent", CheckCondition(3, 0x11, 0x05), 0, 2},
        {"unit attention", CheckCondition(6, 0x28, 0x00), 1, 0},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        device.Reply(c.reply);
        ScopedBoxHook hook;
        EXPECT_EQ(cdrRead(NULL, device.handle, buffer, 0, 1, c.report), c.expected) << c.name;
        EXPECT_TRUE(hook.boxes().empty()) << c.name;
        EXPECT_EQ(device.sent.size(), 1u) << c.name;
    }
}

std::string SystemText(DWORD code)
{
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text, sizeof text,
                   NULL);
    return text;
}

TEST(PrintErrorBox, SystemTextCodeLineAndCallerText)
{
    // Cutting the text to the box's buffer is textutil_test's.
    ScopedBoxHook hook;
    EXPECT_EQ(PrintError(NULL, ERROR_ACCESS_DENIED, "while opening D:"), IDOK);
    ASSERT_EQ(hook.boxes().size(), 1u);
    EXPECT_EQ(hook.boxes()[0].text, SystemText(ERROR_ACCESS_DENIED) + Cp932(u8"エラーコード : ") + "5\nwhile opening D:");
    EXPECT_EQ(hook.boxes()[0].caption, "Vorant Library");
    EXPECT_EQ(hook.boxes()[0].style, (unsigned)(MB_OK | MB_ICONWARNING));
}

TEST(PrintErrorBox, CodeWithoutSystemTextSaysSo)
{
    ScopedBoxHook hook;
    const DWORD code = 0x2000ABCD;   // customer bit: no system text
    PrintError(NULL, code, NULL);
    ASSERT_EQ(hook.boxes().size(), 1u);
    const std::string& text = hook.boxes()[0].text;
    const std::string head = "Format message failed.  Error: ";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "\n" + Cp932(u8"エラーコード : ") + std::to_string((long)code) + "\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(StringTable, TextsLoadInTheAnsiCodePage)
{
    HINSTANCE library = GetModuleHandleA("tamrisk.dll");
    ASSERT_NE(library, nullptr);
    struct Case { UINT id; const char* text; };
    const Case cases[] = {
        {1006, u8"SRBパラメータが不正です!"}, {1177, u8"オーディオ再生が中止されました"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(SetString(library, c.id)), Cp932(c.text)) << c.id;
    EXPECT_STREQ(SetString(library, 1014), "");
    EXPECT_STREQ(SetString(library, 999), "");
}

}  // namespace
