// The lock file's record of its holder, and what a second start makes of the holder whatever
// Windows answers about its session, account and window.
#include "library_lock.h"

#include <gtest/gtest.h>

namespace skyswap {
namespace {

LockHolder WindowHolder() {
    LockHolder holder;
    holder.processId = 4242;
    holder.sessionId = 1;
    holder.user = "S-1-5-21-1-2-3-1001";
    holder.window = 0x1a2b3c;
    return holder;
}

TEST(LibraryLock, ARecordReadsBackAsItWasWritten) {
    LockHolder commandLine = WindowHolder();
    commandLine.commandLine = true;
    commandLine.window = 0;
    LockHolder noAccount = WindowHolder();
    noAccount.user.clear();
    LockHolder largest = WindowHolder();
    largest.processId = 0xffffffff;
    largest.sessionId = 0xffffffff;
    largest.window = 0xffffffffffffffffULL;
    for (const LockHolder& holder : {WindowHolder(), commandLine, noAccount, largest}) {
        const std::string text = EncodeLockHolder(holder);
        EXPECT_EQ(DecodeLockHolder(text), holder) << text;
    }
}

TEST(LibraryLock, AnythingButAWholeRecordIsNoRecord) {
    const std::string whole = EncodeLockHolder(WindowHolder());
    const std::string cases[] = {
        "",
        whole.substr(0, whole.size() - 1),  // the last line end not written yet
        whole.substr(0, whole.size() / 2),
        whole + "extra=1\n",
        "SkySwap library lock\n",
        "another program's lock\nprocess=1\nsession=1\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=0\nsession=1\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=-4\nsession=1\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=12x\nsession=1\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=4294967296\nsession=1\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=1\nsession=\nuser=\nkind=window\nwindow=0\n",
        "SkySwap library lock\nprocess=1\nsession=1\nkind=window\nuser=\nwindow=0\n",
        "SkySwap library lock\nprocess=1\nsession=1\nuser=\nkind=service\nwindow=0\n",
        "SkySwap library lock\nprocess=1\nsession=1\nuser=\nkind=window\nwindow=0x10\n",
        "SkySwap library lock\nprocess=1\nsession=1\nuser=\nkind=command line\nwindow=7\n",
        "SkySwap library lock\r\nprocess=1\r\nsession=1\r\nuser=\r\nkind=window\r\nwindow=0\r\n",
        "SkySwap library lock\nprocess= 1\nsession=1\nuser=\nkind=window\nwindow=0\n",
        std::string("SkySwap library lock\nprocess=1\0\nsession=1\nuser=\nkind=window\nwindow=0\n",
                    68),
        std::string(5000, '\n'),
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(DecodeLockHolder(text).has_value()) << text;
    }
}

TEST(LibraryLock, ASecondStartBringsUpOnlyAWindowItCanReach) {
    const LockSeeker me{1, "S-1-5-21-1-2-3-1001"};
    LockHolder otherSession = WindowHolder();
    otherSession.sessionId = 2;
    LockHolder otherUser = WindowHolder();
    otherUser.user = "S-1-5-21-1-2-3-1002";
    LockHolder unknownUser = WindowHolder();
    unknownUser.user.clear();
    LockHolder commandLine = WindowHolder();
    commandLine.commandLine = true;
    commandLine.window = 0;
    LockHolder noWindowYet = WindowHolder();
    noWindowYet.window = 0;
    const std::optional<LockHolder> unreadable;

    const struct {
        const char* what;
        std::optional<LockHolder> holder;
        bool windowIsTheHolders;
        bool timeIsUp;
        HolderVerdict expected;
    } cases[] = {
        {"its window, live", WindowHolder(), true, false, HolderVerdict::BringToFront},
        {"its window, found at the last moment", WindowHolder(), true, true,
         HolderVerdict::BringToFront},
        {"no record yet", unreadable, false, false, HolderVerdict::Wait},
        {"no record in 3 s", unreadable, false, true, HolderVerdict::NoWindow},
        {"window being made", noWindowYet, false, false, HolderVerdict::Wait},
        {"window never made", noWindowYet, false, true, HolderVerdict::NoWindow},
        {"the handle names another process's window", WindowHolder(), false, false,
         HolderVerdict::Wait},
        {"... still so when the time is up", WindowHolder(), false, true, HolderVerdict::NoWindow},
        {"another session, whatever its handle names here", otherSession, true, false,
         HolderVerdict::AnotherSession},
        {"another account", otherUser, true, false, HolderVerdict::AnotherUser},
        {"an account that could not be read", unknownUser, true, false,
         HolderVerdict::BringToFront},
        {"a command line", commandLine, false, false, HolderVerdict::CommandLineRun},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeHolder(c.holder, me, c.windowIsTheHolders, c.timeIsUp), c.expected)
            << c.what;
    }
    EXPECT_EQ(JudgeHolder(WindowHolder(), {1, ""}, true, false), HolderVerdict::BringToFront)
        << "this process's account could not be read";
}

TEST(LibraryLock, TheMessageNamesTheFolderAndWhyItsWindowDoesNotComeUp) {
    const std::string folder = "C:\\Games\\EAW\\SkySwap";
    const std::string start = "SkySwap is already open for this library folder (" + folder + ").";
    for (const HolderVerdict verdict :
         {HolderVerdict::AnotherSession, HolderVerdict::AnotherUser, HolderVerdict::CommandLineRun,
          HolderVerdict::NoWindow, HolderVerdict::Wait}) {
        for (const bool fromCommandLine : {false, true}) {
            const std::string text = AlreadyOpenMessage(folder, verdict, fromCommandLine);
            EXPECT_EQ(text.rfind(start, 0), 0u) << text;
            EXPECT_EQ(text.find("Nothing was changed.") != std::string::npos, fromCommandLine)
                << text;
        }
    }
    EXPECT_NE(AlreadyOpenMessage(folder, HolderVerdict::AnotherSession, false)
                  .find("another Windows session"),
              std::string::npos);
    EXPECT_NE(AlreadyOpenMessage(folder, HolderVerdict::CommandLineRun, true)
                  .find("A command line is changing the sky"),
              std::string::npos);
}

}  // namespace
}  // namespace skyswap
