// What the user sees when a command fails: the Retry/Cancel boxes of the
// status and sense reporting, and PrintError, through the real exports.
#include <gtest/gtest.h>

#include <string>

#include "cp932.h"
#include "message_box_hook.h"
#include "scripted_device.h"
#include "tamrisk.h"

namespace {

uint8_t buffer[2048];

TEST(Reporting, AFailureAsksWithItsBoxAndRetriesTheSameCommand)
{
    // The decision and its texts are sense_test's; here the box shows them in
    // the ANSI code page.
    ScriptedDevice device;
    device.Reply(CheckCondition(2, 0x3A, 0x00));
    device.Reply(CheckCondition(2, 0x3A, 0x00));
    ScopedBoxHook hook({IDRETRY, IDCANCEL});
    EXPECT_EQ(cdrRead(NULL, device.handle, buffer, 1000, 1, CDR_REPORT), CDR_FAILED);
    ASSERT_EQ(hook.boxes().size(), 2u);
    EXPECT_EQ(hook.boxes()[0].caption, Cp932(u8"デバイスの未準備"));
    EXPECT_EQ(hook.boxes()[0].text, Cp932(u8"メディアが入っていません\nAdditional sense code:[3A] Code Qualify:[00]"));
    EXPECT_EQ(hook.boxes()[0].style, (unsigned)MB_RETRYCANCEL);
    ASSERT_EQ(device.sent.size(), 2u);
    EXPECT_EQ(device.sent[1].cdb, device.sent[0].cdb);
}

TEST(Reporting, RetryResendsItsOwnCommandAfterANestedOne)
{
    // While the box is open, another window sends a command of its own.
    struct Case { const char* name; short (*run)(HANDLE); void (*nested)(HANDLE); };
    const Case cases[] = {
        {"read, eject", [](HANDLE d) { return cdrRead(NULL, d, buffer, 1000, 1, CDR_REPORT); },
         [](HANDLE d) { cdrEject(NULL, d); }},
        {"mode select, mode select", [](HANDLE d) { return cdrMode(NULL, d, 2340); },
         [](HANDLE d) { cdrMode(NULL, d, 2352); }},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        device.Reply(CheckCondition(3, 0x11, 0x00));
        ScopedBoxHook hook({IDRETRY});
        hook.WhileNextBoxOpen([&] { c.nested(device.handle); });
        EXPECT_EQ(c.run(device.handle), 0) << c.name;
        ASSERT_EQ(device.sent.size(), 3u) << c.name;
        const SentCommand &first = device.sent[0], &retry = device.sent[2];
        EXPECT_EQ(retry.cdb, first.cdb) << c.name;
        EXPECT_EQ(retry.data_out, first.data_out) << c.name;
        EXPECT_TRUE(retry.data_buffer == first.data_buffer && retry.data_length == first.data_length) << c.name;
    }
    cdrMode(NULL, ScriptedDevice().handle, 2048);   // the library's resting length
}

TEST(Reporting, SilentOrAskingByTheReportFlagAndSenseThatMeansSuccess)
{
    struct Case { const char* name; ScsiReply reply; LONG report; short expected; bool toc; size_t boxes; };
    const Case cases[] = {
        {"medium error, silent", CheckCondition(3, 0x11, 0x05), 0, 2, false, 0},
        {"no sense, silent", CheckCondition(0, 0x00, 0x00), 0, 0, false, 0},
        {"unit attention, silent", CheckCondition(6, 0x29, 0x00), 0, 0, false, 0},
        {"vendor ASC 80, silent", CheckCondition(3, 0x80, 0x00), 0, 0, false, 0},
        {"toc refused, silent", CheckCondition(5, 0x24, 0x00), 0, 2, true, 0},
        {"toc refused, asking", CheckCondition(5, 0x24, 0x00), 1, 2, true, 1},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        device.Reply(c.reply);
        ScopedBoxHook hook;   // answers Cancel
        short result = c.toc ? cdrToc(NULL, device.handle, buffer, sizeof buffer, 0, c.report)
                             : cdrRead(NULL, device.handle, buffer, 0, 1, c.report);
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(hook.boxes().size(), c.boxes) << c.name;
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
    const std::string head = SystemText(ERROR_ACCESS_DENIED) + Cp932(u8"エラーコード : ") + "5\n";
    // A text from SetString shares its buffer: the box still shows it once.
    PrintError(NULL, ERROR_ACCESS_DENIED, SetString(GetModuleHandleA("tamrisk.dll"), 1000));
    ASSERT_EQ(hook.boxes().size(), 2u);
    EXPECT_EQ(hook.boxes()[0].text, head + "while opening D:");
    EXPECT_EQ(hook.boxes()[1].text, head + Cp932(u8"SCSIバスが使用中です！"));
    EXPECT_EQ(hook.boxes()[0].caption, "Vorant Library");
}

TEST(StringTable, TextsLoadInTheAnsiCodePage)
{
    HINSTANCE library = GetModuleHandleA("tamrisk.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(std::string(SetString(library, 1177)), Cp932(u8"オーディオ再生が中止されました"));
    EXPECT_STREQ(SetString(library, 999), "");
}

}  // namespace
