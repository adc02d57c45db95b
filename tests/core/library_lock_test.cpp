// Taking the lock whatever Windows answers, the lock file's record of its holder, and what a
// second start makes of the holder whatever Windows answers about its computer, session, account
// and window.
#include "library_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace skyswap {
namespace {

LockHolder WindowHolder() {
    LockHolder holder;
    holder.processId = 4242;
    holder.sessionId = 1;
    holder.user = "S-1-5-21-1-2-3-1001";
    holder.window = 0x1a2b3c;
    holder.computer = "GAMING-PC";
    return holder;
}

TEST(LibraryLock, ARecordReadsBackAsItWasWritten) {
    LockHolder commandLine = WindowHolder();
    commandLine.commandLine = true;
    commandLine.window = 0;
    LockHolder noAccount = WindowHolder();
    noAccount.user.clear();
    noAccount.computer.clear();
    LockHolder largest = WindowHolder();
    largest.processId = 0xffffffff;
    largest.sessionId = 0xffffffff;
    largest.window = 0xffffffffffffffffULL;
    for (const LockHolder& holder : {WindowHolder(), commandLine, noAccount, largest}) {
        const std::string text = EncodeLockHolder(holder);
        EXPECT_EQ(DecodeLockHolder(text), holder) << text;
    }
    // An older SkySwap's record has no computer line: it is of the computer that reads it.
    const auto older = DecodeLockHolder(
        "SkySwap library lock\nprocess=7\nsession=1\nuser=S-1\nkind=window\nwindow=9\n");
    ASSERT_TRUE(older.has_value());
    EXPECT_EQ(older->computer, "");
    EXPECT_EQ(older->window, 9u);
    // A line end in the computer's name cannot end the record early.
    LockHolder oddName = WindowHolder();
    oddName.computer = "PC\nwindow=1";
    const auto odd = DecodeLockHolder(EncodeLockHolder(oddName));
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->computer, "PCwindow=1");
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
        "SkySwap library lock\nprocess=1\nsession=1\nuser=\nkind=window\nwindow=0\nname=PC\n",
        "SkySwap library lock\nprocess=1\nsession=1\nuser=\nkind=window\nwindow=0\ncomputer=A\n"
        "computer=B\n",
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(DecodeLockHolder(text).has_value()) << text;
    }
}

TEST(LibraryLock, ASecondStartBringsUpOnlyAWindowItCanReach) {
    const std::string me = "S-1-5-21-1-2-3-1001";
    const std::string otherAdmin = "S-1-5-21-1-2-3-1002";
    const LockSeeker seeker{1, me, "GAMING-PC"};
    LockHolder otherSession = WindowHolder();
    otherSession.sessionId = 2;
    LockHolder otherUser = WindowHolder();
    otherUser.user = otherAdmin;
    LockHolder commandLine = WindowHolder();
    commandLine.commandLine = true;
    commandLine.window = 0;
    LockHolder noWindowYet = WindowHolder();
    noWindowYet.window = 0;
    LockHolder otherComputer = WindowHolder();
    otherComputer.computer = "LIVING-ROOM";
    LockHolder sameComputerOtherCase = WindowHolder();
    sameComputerOtherCase.computer = "gaming-pc";
    LockHolder olderRecord = WindowHolder();
    olderRecord.computer.clear();
    const std::optional<LockHolder> none;

    // What Windows says of the window found, from its own process.
    const HolderWindowFacts noWindow;
    const HolderWindowFacts mine{true, 1u, me};
    const HolderWindowFacts otherAdminsHere{true, 1u, otherAdmin};
    const HolderWindowFacts unreadableAccount{true, 1u, ""};
    const HolderWindowFacts unknownSession{true, std::nullopt, me};
    const HolderWindowFacts inAnotherSession{true, 2u, me};

    const struct {
        const char* what;
        std::optional<LockHolder> record;
        bool running;
        HolderWindowFacts window;
        bool timeIsUp;
        HolderVerdict expected;
    } cases[] = {
        {"its window, live", WindowHolder(), true, mine, false, HolderVerdict::BringToFront},
        {"its window, found at the last moment", WindowHolder(), true, mine, true,
         HolderVerdict::BringToFront},
        {"no record, a window of the folder (a holder that may only read the lock)", none, false,
         mine, false, HolderVerdict::BringToFront},
        {"the record says this account, Windows says another's window", WindowHolder(), true,
         otherAdminsHere, false, HolderVerdict::AnotherUsersWindow},
        {"an elevated SkySwap of another administrator", otherUser, true, otherAdminsHere, false,
         HolderVerdict::AnotherUsersWindow},
        {"a window whose account Windows will not tell", WindowHolder(), true, unreadableAccount,
         false, HolderVerdict::AnotherUsersWindow},
        {"a window whose session Windows will not tell", WindowHolder(), true, unknownSession,
         false, HolderVerdict::Wait},
        {"a window of another session", otherSession, true, inAnotherSession, false,
         HolderVerdict::AnotherSession},
        {"no record yet", none, false, noWindow, false, HolderVerdict::Wait},
        {"no record in 3 s: another program holds the file", none, false, noWindow, true,
         HolderVerdict::LockFileBusy},
        {"a record of an ended process, held by a scanner", WindowHolder(), false, noWindow, true,
         HolderVerdict::LockFileBusy},
        {"window being made", noWindowYet, true, noWindow, false, HolderVerdict::Wait},
        {"window never made", noWindowYet, true, noWindow, true, HolderVerdict::NoWindow},
        {"another account's holder without a window here", otherUser, true, noWindow, false,
         HolderVerdict::Wait},
        {"... when the time is up", otherUser, true, noWindow, true, HolderVerdict::AnotherUser},
        {"another session", otherSession, true, noWindow, false, HolderVerdict::AnotherSession},
        {"another computer, whatever runs here under its process id", otherComputer, true, noWindow,
         false, HolderVerdict::AnotherComputer},
        {"another computer, its process id unknown here", otherComputer, false, noWindow, true,
         HolderVerdict::AnotherComputer},
        {"this computer in other letters", sameComputerOtherCase, true, noWindow, true,
         HolderVerdict::NoWindow},
        {"an older SkySwap's record", olderRecord, true, mine, false, HolderVerdict::BringToFront},
        {"a command line", commandLine, true, noWindow, false, HolderVerdict::CommandLineRun},
        {"a command line's record left by a power cut", commandLine, false, noWindow, true,
         HolderVerdict::LockFileBusy},
    };
    for (const auto& c : cases) {
        const HolderFacts facts{c.record, c.running, c.window};
        EXPECT_EQ(JudgeHolder(facts, seeker, c.timeIsUp), c.expected) << c.what;
    }
    EXPECT_EQ(JudgeHolder({WindowHolder(), true, unreadableAccount}, {1, "", "GAMING-PC"}, false),
              HolderVerdict::AnotherUsersWindow)
        << "this process's account could not be read: nothing is handed over";

    // Only a record of this computer and session names a window handle that means anything here.
    EXPECT_TRUE(RecordIsOfThisDesktop(WindowHolder(), seeker));
    EXPECT_TRUE(RecordIsOfThisDesktop(sameComputerOtherCase, seeker));
    EXPECT_TRUE(RecordIsOfThisDesktop(olderRecord, seeker));
    EXPECT_FALSE(RecordIsOfThisDesktop(otherComputer, seeker));
    EXPECT_FALSE(RecordIsOfThisDesktop(otherSession, seeker));
}

// Windows' answers, given in turn, and what taking the lock asked.
class FakeLockOpener : public LockFileOpener {
  public:
    std::deque<LockAnswer> forWriting;
    std::deque<LockAnswer> forReading;
    std::deque<LockNameHolds> name;
    LockFileFacts facts;
    bool folderIsEmpty = true;
    std::string asked;  // one letter a question: W, R, F(acts), C(lose), N(ame), E(mpty), P(ause)
    bool open = false;

    LockAnswer OpenForWriting() override { return Answer('W', forWriting); }
    LockAnswer OpenForReading() override { return Answer('R', forReading); }
    LockFileFacts FactsOfOpened() override {
        asked += 'F';
        return facts;
    }
    void CloseOpened() override {
        asked += 'C';
        open = false;
    }
    LockNameHolds WhatHoldsTheName() override {
        asked += 'N';
        const LockNameHolds holds = name.empty() ? LockNameHolds::Nothing : name.front();
        if (name.size() > 1) {
            name.pop_front();
        }
        return holds;
    }
    bool RemoveEmptyFolder() override {
        asked += 'E';
        if (folderIsEmpty) {
            name = {LockNameHolds::Nothing};
        }
        return folderIsEmpty;
    }
    void WaitForDeletion() override { asked += 'P'; }

  private:
    LockAnswer Answer(char question, std::deque<LockAnswer>& answers) {
        asked += question;
        const LockAnswer answer = answers.empty() ? LockAnswer::Failed : answers.front();
        if (answers.size() > 1) {
            answers.pop_front();
        }
        open = answer == LockAnswer::Opened;
        return answer;
    }
};

TEST(LibraryLock, TheLockIsTakenOnlyAsAFileOfTheLibrarysOwnWhateverWindowsAnswers) {
    using A = LockAnswer;
    using H = LockNameHolds;
    LockFileFacts link;
    link.reparsePoint = true;
    LockFileFacts hardLinked;
    hardLinked.links = 2;
    LockFileFacts elsewhere;
    elsewhere.insideLibrary = false;
    LockFileFacts unknown;
    unknown.known = false;
    const struct {
        const char* what;
        std::deque<A> forWriting;
        std::deque<A> forReading;
        std::deque<H> name;
        LockFileFacts facts;
        bool folderIsEmpty;
        LockState state;
        LockRefusal refusal;
        const char* asked;
    } cases[] = {
        {"made or opened, a file of the library's own",
         {A::Opened},
         {},
         {},
         {},
         true,
         LockState::Held,
         LockRefusal::None,
         "WF"},
        {"held by another SkySwap, or a scanner that shares no writing",
         {A::SharingViolation},
         {},
         {},
         {},
         true,
         LockState::InUse,
         LockRefusal::None,
         "W"},
        {"a symbolic link or junction, opened itself",
         {A::Opened},
         {},
         {},
         link,
         true,
         LockState::Refused,
         LockRefusal::Link,
         "WFC"},
        {"a hard link",
         {A::Opened},
         {},
         {},
         hardLinked,
         true,
         LockState::Refused,
         LockRefusal::HardLinked,
         "WFC"},
        {"a file outside the folder",
         {A::Opened},
         {},
         {},
         elsewhere,
         true,
         LockState::Refused,
         LockRefusal::OutsideLibrary,
         "WFC"},
        {"a file Windows says nothing of",
         {A::Opened},
         {},
         {},
         unknown,
         true,
         LockState::Refused,
         LockRefusal::CannotOpen,
         "WFC"},
        {"a protected folder without a lock file: no waiting",
         {A::AccessDenied},
         {},
         {H::Nothing},
         {},
         true,
         LockState::NoLockFile,
         LockRefusal::None,
         "WN"},
        {"a protected folder's lock file, free",
         {A::AccessDenied},
         {A::Opened},
         {H::File},
         {},
         true,
         LockState::HeldForReading,
         LockRefusal::None,
         "WNRF"},
        {"... held by an elevated SkySwap",
         {A::AccessDenied},
         {A::SharingViolation},
         {H::File},
         {},
         true,
         LockState::InUse,
         LockRefusal::None,
         "WNR"},
        {"... a hard link there",
         {A::AccessDenied},
         {A::Opened},
         {H::File},
         hardLinked,
         true,
         LockState::Refused,
         LockRefusal::HardLinked,
         "WNRFC"},
        {"... that may not even be read",
         {A::AccessDenied},
         {A::AccessDenied},
         {H::File},
         {},
         true,
         LockState::Refused,
         LockRefusal::CannotOpen,
         "WNR"},
        {"a link to a folder holds the name",
         {A::AccessDenied},
         {},
         {H::Link},
         {},
         true,
         LockState::Refused,
         LockRefusal::Link,
         "WN"},
        {"an empty folder holds the name",
         {A::AccessDenied, A::Opened},
         {},
         {H::Folder},
         {},
         true,
         LockState::Held,
         LockRefusal::None,
         "WNEWF"},
        {"a folder with something in it",
         {A::AccessDenied},
         {},
         {H::Folder},
         {},
         false,
         LockState::Refused,
         LockRefusal::Folder,
         "WNE"},
        {"a deletion under way, then done",
         {A::DeletePending, A::Opened},
         {},
         {},
         {},
         true,
         LockState::Held,
         LockRefusal::None,
         "WPWF"},
        {"a deletion that never ends",
         {A::DeletePending},
         {},
         {H::File},
         {},
         true,
         LockState::Refused,
         LockRefusal::CannotOpen,
         "WPWPWPWPWPW"},
        {"no such folder",
         {A::NotFound},
         {},
         {},
         {},
         true,
         LockState::NoLockFile,
         LockRefusal::None,
         "W"},
        {"another failure, no file there",
         {A::Failed},
         {},
         {H::Nothing},
         {},
         true,
         LockState::NoLockFile,
         LockRefusal::None,
         "WN"},
        {"another failure with a file there",
         {A::Failed},
         {},
         {H::File},
         {},
         true,
         LockState::Refused,
         LockRefusal::CannotOpen,
         "WN"},
    };
    for (const auto& c : cases) {
        FakeLockOpener opener;
        opener.forWriting = c.forWriting;
        opener.forReading = c.forReading;
        opener.name = c.name;
        opener.facts = c.facts;
        opener.folderIsEmpty = c.folderIsEmpty;
        const LockOutcome outcome = TakeLibraryLock(opener);
        EXPECT_EQ(outcome.state, c.state) << c.what;
        EXPECT_EQ(outcome.refusal, c.refusal) << c.what;
        EXPECT_EQ(opener.asked, c.asked) << c.what;
        const bool held =
            outcome.state == LockState::Held || outcome.state == LockState::HeldForReading;
        EXPECT_EQ(opener.open, held) << c.what << ": a file is left open only when held";
    }
}

TEST(LibraryLock, TheMessageNamesTheFolderAndWhyItsWindowDoesNotComeUp) {
    const std::string folder = "C:\\Games\\EAW\\SkySwap";
    const std::string start = "SkySwap is already open for this library folder (" + folder + ").";
    for (const HolderVerdict verdict :
         {HolderVerdict::AnotherSession, HolderVerdict::AnotherUser, HolderVerdict::CommandLineRun,
          HolderVerdict::NoWindow, HolderVerdict::Wait, HolderVerdict::AnotherComputer,
          HolderVerdict::AnotherUsersWindow}) {
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
    EXPECT_NE(AlreadyOpenMessage(folder, HolderVerdict::AnotherComputer, false, "LIVING-ROOM")
                  .find("It is open on the computer LIVING-ROOM."),
              std::string::npos);

    // A lock file held by another program, or one that is not taken: the folder and the reason,
    // a different one for each refusal.
    const std::string busy = AlreadyOpenMessage(folder, HolderVerdict::LockFileBusy, true);
    EXPECT_NE(busy.find("(" + folder + ")"), std::string::npos) << busy;
    EXPECT_EQ(busy.find("already open"), std::string::npos) << busy;
    std::vector<std::string> refusals;
    for (const LockRefusal refusal :
         {LockRefusal::Link, LockRefusal::HardLinked, LockRefusal::OutsideLibrary,
          LockRefusal::Folder, LockRefusal::CannotOpen}) {
        for (const bool fromCommandLine : {false, true}) {
            const std::string text =
                LockRefusedMessage(folder, refusal, "Access is denied", fromCommandLine);
            EXPECT_NE(text.find("(" + folder + ")"), std::string::npos) << text;
            EXPECT_EQ(text.find("Nothing was changed.") != std::string::npos, fromCommandLine)
                << text;
            if (!fromCommandLine) {
                EXPECT_EQ(std::count(refusals.begin(), refusals.end(), text), 0) << text;
                refusals.push_back(text);
            }
        }
    }
    EXPECT_NE(refusals.back().find("Access is denied"), std::string::npos) << refusals.back();
}

}  // namespace
}  // namespace skyswap
