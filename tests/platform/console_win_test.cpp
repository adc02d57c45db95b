// Where a command line's text goes: a console gets wide text, anything else (a pipe, a file,
// NUL) UTF-8 without a byte order mark, and nothing at all reaches the console then.
#include "console_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_console_win.h"
#include "support/test_support.h"
#include "text_win.h"

namespace skyswap {
namespace {

using test::TempFolder;

// Not ASCII, and beyond one code page: every language must come through.
const std::string kText = "Ciel d'\xC3\xA9t\xC3\xA9\n\xE2\x98\x81 \xD0\xBD\xD0\xB5\xD0\xB1\xD0\xBE";

TEST(ConsoleOutput, OnlyAConsoleCountsAsOne) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(nul), static_cast<DWORD>(FILE_TYPE_CHAR)) << "a character device";

    const struct {
        const char* what;
        HANDLE handle;
        OutputKind expected;
    } cases[] = {
        {"a pipe", writeEnd, OutputKind::Redirected},
        {"NUL", nul, OutputKind::Redirected},
        {"no handle", nullptr, OutputKind::None},
        {"an invalid handle", INVALID_HANDLE_VALUE, OutputKind::None},
        {"a value that names nothing", reinterpret_cast<HANDLE>(0x7ffc), OutputKind::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OutputKindOf(c.handle), c.expected) << c.what;
    }
    EXPECT_FALSE(WriteLines(nullptr, kText));
    CloseHandle(nul);
    CloseHandle(writeEnd);
    CloseHandle(readEnd);
}

TEST(ConsoleOutput, AFileOrPipeGetsUtf8WithoutAByteOrderMark) {
    TempFolder temp;
    const std::wstring path = Utf8ToWide(temp.Join("out.txt"));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OutputKindOf(file), OutputKind::Redirected);
    EXPECT_TRUE(WriteLines(file, kText));
    CloseHandle(file);
    EXPECT_EQ(temp.ReadFile("out.txt"),
              "Ciel d'\xC3\xA9t\xC3\xA9\r\n\xE2\x98\x81 \xD0\xBD\xD0\xB5\xD0\xB1\xD0\xBE\r\n");
}

TEST(ConsoleOutput, ARedirectionBesideAConsoleIsInTheConsolesCodePage) {
    const std::wstring text = L"\u00C9t\u00E9 \u2601";  // "Été ☁"
    const struct {
        unsigned int codePage;
        std::string bytes;
    } cases[] = {
        {0, "\xC3\x89t\xC3\xA9 \xE2\x98\x81"},      // no console: UTF-8
        {CP_UTF8, "\xC3\x89t\xC3\xA9 \xE2\x98\x81"},  // chcp 65001
        {850, "\x90t\x82 ?"},                      // Western Europe's OEM page
        {437, "\x90t\x82 ?"},
        {1252, "\xC9t\xE9 ?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodedForRedirection(text, c.codePage), c.bytes) << c.codePage;
    }
}

TEST(ConsoleOutput, AConsoleGetsWideTextAndNulNothing) {
    test::TestConsole console;
    if (!console.made()) {
        GTEST_SKIP() << "no console can be made here";
    }
    EXPECT_EQ(OutputKindOf(console.screen()), OutputKind::Console);
    EXPECT_TRUE(WriteLines(console.screen(), kText));
    const std::wstring shown = console.Text();
    EXPECT_NE(shown.find(L"Ciel d'\u00e9t\u00e9"), std::wstring::npos);
    EXPECT_NE(shown.find(L"\u2601 \u043d\u0435\u0431\u043e"), std::wstring::npos);

    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(WriteLines(nul, "only for NUL"));
    EXPECT_EQ(console.Text().find(L"only for NUL"), std::wstring::npos);
    CloseHandle(nul);
}

}  // namespace
}  // namespace skyswap
