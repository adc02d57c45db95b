#include "library_lock.h"

#include <charconv>
#include <vector>

#include "ascii.h"

namespace skyswap {

namespace {

constexpr std::string_view kFirstLine = "SkySwap library lock";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The value of line `key=value`, or nothing when the line is another.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') {
        return std::nullopt;
    }
    return line.substr(key.size() + 1);
}

}  // namespace

bool LockHolder::operator==(const LockHolder& other) const {
    return processId == other.processId && sessionId == other.sessionId && user == other.user &&
           commandLine == other.commandLine && window == other.window && computer == other.computer;
}

std::string EncodeLockHolder(const LockHolder& holder) {
    // A line end in a name would end the record early.
    std::string computer;
    for (const char c : holder.computer.substr(0, 255)) {
        if (c != '\n' && c != '\r') {
            computer += c;
        }
    }
    return std::string(kFirstLine) + "\nprocess=" + std::to_string(holder.processId) +
           "\nsession=" + std::to_string(holder.sessionId) + "\nuser=" + holder.user +
           "\nkind=" + (holder.commandLine ? "command line" : "window") +
           "\nwindow=" + std::to_string(holder.window) + "\ncomputer=" + computer + "\n";
}

std::optional<LockHolder> DecodeLockHolder(std::string_view text) {
    // A record is written whole, ending in a line end: anything short of that is not one yet.
    if (text.size() > 1024 || text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    // An older SkySwap wrote no computer line: its record is of the computer that reads it.
    if ((lines.size() != 6 && lines.size() != 7) || lines[0] != kFirstLine ||
        (lines.size() == 7 && lines[6].substr(0, 9) != "computer=")) {
        return std::nullopt;
    }
    const auto process = ValueOf(lines[1], "process");
    const auto session = ValueOf(lines[2], "session");
    const bool userLine = lines[3].substr(0, 5) == "user=";
    const auto kind = ValueOf(lines[4], "kind");
    const auto window = ValueOf(lines[5], "window");
    if (!process || !session || !userLine || !kind || !window ||
        (*kind != "window" && *kind != "command line")) {
        return std::nullopt;
    }
    LockHolder holder;
    const auto processId = ParseNumber<uint32_t>(*process);
    const auto sessionId = ParseNumber<uint32_t>(*session);
    const auto windowHandle = ParseNumber<uint64_t>(*window);
    if (!processId || *processId == 0 || !sessionId || !windowHandle) {
        return std::nullopt;
    }
    holder.processId = *processId;
    holder.sessionId = *sessionId;
    holder.user = std::string(lines[3].substr(5));
    holder.commandLine = *kind == "command line";
    holder.window = *windowHandle;
    if (lines.size() == 7) {
        holder.computer = std::string(lines[6].substr(9));
    }
    if (holder.commandLine && holder.window != 0) {
        return std::nullopt;
    }
    return holder;
}

LockRefusal CheckLockFile(const LockFileFacts& facts) {
    if (!facts.known) {
        return LockRefusal::CannotOpen;
    }
    if (facts.reparsePoint) {
        return LockRefusal::Link;
    }
    if (facts.links > 1) {
        return LockRefusal::HardLinked;
    }
    return facts.insideLibrary ? LockRefusal::None : LockRefusal::OutsideLibrary;
}

namespace {

// How often a deletion of the lock file by somebody else is waited for.
constexpr int kDeletionWaits = 5;

// The file just opened is the lock when it is a file of the library's own.
LockOutcome Checked(LockFileOpener& opener, LockState held) {
    const LockRefusal refusal = CheckLockFile(opener.FactsOfOpened());
    if (refusal != LockRefusal::None) {
        opener.CloseOpened();
        return {LockState::Refused, refusal};
    }
    return {held, LockRefusal::None};
}

}  // namespace

LockOutcome TakeLibraryLock(LockFileOpener& opener) {
    bool folderRemoved = false;
    for (int deletionWaits = 0;;) {
        LockAnswer answer = opener.OpenForWriting();
        if (answer == LockAnswer::Opened) {
            return Checked(opener, LockState::Held);
        }
        if (answer == LockAnswer::SharingViolation) {
            return {LockState::InUse, LockRefusal::None};
        }
        if (answer == LockAnswer::AccessDenied) {
            // Denied: a protected folder without the file (nothing to wait for), a file that
            // this account may only read, or a folder or a link holding the name.
            switch (opener.WhatHoldsTheName()) {
                case LockNameHolds::Nothing:
                    return {LockState::NoLockFile, LockRefusal::None};
                case LockNameHolds::Link:
                    return {LockState::Refused, LockRefusal::Link};
                case LockNameHolds::Folder:
                    if (!folderRemoved && opener.RemoveEmptyFolder()) {
                        folderRemoved = true;
                        continue;
                    }
                    return {LockState::Refused, LockRefusal::Folder};
                case LockNameHolds::File:
                    answer = opener.OpenForReading();
                    if (answer == LockAnswer::Opened) {
                        return Checked(opener, LockState::HeldForReading);
                    }
                    if (answer == LockAnswer::SharingViolation) {
                        return {LockState::InUse, LockRefusal::None};
                    }
                    break;
            }
        }
        if (answer == LockAnswer::DeletePending && deletionWaits < kDeletionWaits) {
            ++deletionWaits;
            opener.WaitForDeletion();
            continue;
        }
        if (answer == LockAnswer::NotFound ||
            (answer == LockAnswer::Failed && opener.WhatHoldsTheName() == LockNameHolds::Nothing)) {
            return {LockState::NoLockFile, LockRefusal::None};
        }
        return {LockState::Refused, LockRefusal::CannotOpen};
    }
}

bool RecordIsOfThisDesktop(const LockHolder& holder, const LockSeeker& seeker) {
    const bool thisComputer = holder.computer.empty() || seeker.computer.empty() ||
                              SameAsciiText(holder.computer, seeker.computer);
    return thisComputer && holder.sessionId == seeker.sessionId;
}

HolderVerdict JudgeHolder(const HolderFacts& facts, const LockSeeker& seeker, bool timeIsUp) {
    // A window on this desktop is shown whoever's it is; only one of this account, as Windows
    // names its process's account, is handed paths.
    const HolderWindowFacts& window = facts.window;
    if (window.found && window.sessionId && *window.sessionId == seeker.sessionId) {
        return !window.user.empty() && window.user == seeker.user
                   ? HolderVerdict::BringToFront
                   : HolderVerdict::AnotherUsersWindow;
    }
    const std::optional<LockHolder>& record = facts.record;
    if (record) {
        if (!record->computer.empty() && !seeker.computer.empty() &&
            !SameAsciiText(record->computer, seeker.computer)) {
            return HolderVerdict::AnotherComputer;
        }
        if (record->sessionId != seeker.sessionId) {
            return HolderVerdict::AnotherSession;
        }
        if (facts.recordProcessRunning) {
            if (record->commandLine) {
                return HolderVerdict::CommandLineRun;
            }
            if (timeIsUp) {
                const bool anotherUser =
                    !record->user.empty() && !seeker.user.empty() && record->user != seeker.user;
                return anotherUser ? HolderVerdict::AnotherUser : HolderVerdict::NoWindow;
            }
            return HolderVerdict::Wait;
        }
    }
    // Held, yet no SkySwap of this computer is named: a holder that has not written its record
    // yet, or another program holding the file.
    return timeIsUp ? HolderVerdict::LockFileBusy : HolderVerdict::Wait;
}

std::string AlreadyOpenMessage(const std::string& libraryFolder, HolderVerdict verdict,
                               bool fromCommandLine, const std::string& holderComputer) {
    std::string text = "SkySwap is already open for this library folder (" + libraryFolder + ").";
    switch (verdict) {
        case HolderVerdict::AnotherComputer:
            text +=
                "\nIt is open on the computer " +
                (holderComputer.empty() ? std::string("that shares the folder") : holderComputer) +
                ". Close it there first.";
            break;
        case HolderVerdict::AnotherSession:
            text +=
                "\nIt runs in another Windows session on this computer (another user signed in, "
                "or a Remote Desktop connection). Close it there first.";
            break;
        case HolderVerdict::AnotherUser:
            text += "\nIt runs under another user account. Close it there first.";
            break;
        case HolderVerdict::AnotherUsersWindow:
            text +=
                "\nIts window, now in front, runs under another user account, which is handed "
                "nothing from this one. Add the skies in that window.";
            break;
        case HolderVerdict::CommandLineRun:
            text += "\nA command line is changing the sky. Try again when it has finished.";
            break;
        case HolderVerdict::NoWindow:
            text += fromCommandLine
                        ? "\nChange the sky in its window, or close it and try again."
                        : "\nIts window did not appear. Close that SkySwap (in Task Manager if "
                          "need be) and try again.";
            break;
        case HolderVerdict::LockFileBusy:
            text = "SkySwap cannot open this library folder (" + libraryFolder +
                   ") now: another program, a virus scanner or a backup perhaps, has its lock "
                   "file " +
                   kLibraryLockFileName + " open. Try again in a moment.";
            break;
        case HolderVerdict::Wait:
        case HolderVerdict::BringToFront:
        case HolderVerdict::Taken:
            text += "\nChange the sky in its window, or close it and try again.";
            break;
    }
    if (fromCommandLine) {
        text += "\nNothing was changed.";
    }
    return text;
}

std::string LockRefusedMessage(const std::string& libraryFolder, LockRefusal refusal,
                               const std::string& systemReason, bool fromCommandLine) {
    const std::string lock = kLibraryLockFileName;
    std::string text = "SkySwap cannot lock this library folder (" + libraryFolder +
                       "), so it leaves the library alone: ";
    switch (refusal) {
        case LockRefusal::Link:
            text += "its lock file " + lock +
                    " is a link (a symbolic link or a junction) to something else, and SkySwap "
                    "never writes through a link. Delete " +
                    lock + " there and try again.";
            break;
        case LockRefusal::HardLinked:
            text += "its lock file " + lock +
                    " is a hard link, another name of a file that may lie elsewhere, and SkySwap "
                    "never writes to one. Delete " +
                    lock + " there and try again.";
            break;
        case LockRefusal::OutsideLibrary:
            text += "its lock file " + lock +
                    " leads to a file outside the folder, and SkySwap never writes to one. "
                    "Delete " +
                    lock + " there and try again.";
            break;
        case LockRefusal::Folder:
            text += "a folder called " + lock +
                    " with something in it stands where its lock file goes. Move it away and try "
                    "again.";
            break;
        case LockRefusal::CannotOpen:
        case LockRefusal::None:
            text += "its lock file " + lock + " cannot be opened (" +
                    (systemReason.empty() ? std::string("Windows gave no reason") : systemReason) +
                    "). Close the program that uses it, or delete it, and try again.";
            break;
    }
    if (fromCommandLine) {
        text += "\nNothing was changed.";
    }
    return text;
}

}  // namespace skyswap
