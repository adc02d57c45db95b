#include "library_lock.h"

#include <charconv>
#include <vector>

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
           commandLine == other.commandLine && window == other.window;
}

std::string EncodeLockHolder(const LockHolder& holder) {
    return std::string(kFirstLine) + "\nprocess=" + std::to_string(holder.processId) +
           "\nsession=" + std::to_string(holder.sessionId) + "\nuser=" + holder.user +
           "\nkind=" + (holder.commandLine ? "command line" : "window") +
           "\nwindow=" + std::to_string(holder.window) + "\n";
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
    if (lines.size() != 6 || lines[0] != kFirstLine) {
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
    if (holder.commandLine && holder.window != 0) {
        return std::nullopt;
    }
    return holder;
}

HolderVerdict JudgeHolder(const std::optional<LockHolder>& holder, const LockSeeker& seeker,
                          bool windowIsTheHolders, bool timeIsUp) {
    if (!holder) {
        return timeIsUp ? HolderVerdict::NoWindow : HolderVerdict::Wait;
    }
    // A window of another session or account cannot be brought up from here, and its handle
    // may name an unrelated window of this one.
    if (holder->sessionId != seeker.sessionId) {
        return HolderVerdict::AnotherSession;
    }
    if (!holder->user.empty() && !seeker.user.empty() && holder->user != seeker.user) {
        return HolderVerdict::AnotherUser;
    }
    if (holder->commandLine) {
        return HolderVerdict::CommandLineRun;
    }
    if (holder->window != 0 && windowIsTheHolders) {
        return HolderVerdict::BringToFront;
    }
    return timeIsUp ? HolderVerdict::NoWindow : HolderVerdict::Wait;
}

std::string AlreadyOpenMessage(const std::string& libraryFolder, HolderVerdict verdict,
                               bool fromCommandLine) {
    std::string text = "SkySwap is already open for this library folder (" + libraryFolder + ").";
    switch (verdict) {
        case HolderVerdict::AnotherSession:
            text +=
                "\nIt runs in another Windows session on this computer (another user signed in, "
                "or a Remote Desktop connection). Close it there first.";
            break;
        case HolderVerdict::AnotherUser:
            text += "\nIt runs under another user account. Close it there first.";
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

}  // namespace skyswap
