#include "restart_arguments.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "command_line.h"

namespace skyswap {
namespace {

constexpr const char* kLibrarySwitch = "/library";
constexpr const char* kVirtualStoreSwitch = "/virtualstore";

struct ResumeWord {
    const char* word;
    LibraryAction action;
};
constexpr ResumeWord kResumeWords[] = {
    {"install", LibraryAction::InstallSet},        {"random", LibraryAction::InstallRandom},
    {"mydefault", LibraryAction::LoadMyDefault},   {"gamedefault", LibraryAction::LoadGameDefault},
    {"savedefault", LibraryAction::SaveMyDefault}, {"add", LibraryAction::AddDownloads},
};

std::string WordOf(LibraryAction action) {
    for (const ResumeWord& entry : kResumeWords) {
        if (entry.action == action) {
            return entry.word;
        }
    }
    return {};
}

std::optional<LibraryAction> ActionOfWord(std::string word) {
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const ResumeWord& entry : kResumeWords) {
        if (word == entry.word) {
            return entry.action;
        }
    }
    return std::nullopt;
}

std::string ResumeParameters(const LibraryRequest& resume) {
    const std::string start = std::string("/") + kResumeSwitchName + " " + WordOf(resume.action);
    if (resume.action == LibraryAction::AddDownloads) {
        std::string parameters;
        for (const std::string& path : resume.paths) {
            parameters += (parameters.empty() ? "" : " ") + start + " " + QuoteArgument(path);
        }
        return parameters;
    }
    return TakesSet(resume.action) ? start + " " + std::to_string(resume.set) : start;
}

}  // namespace

std::string ReadResumeSwitch(const std::vector<std::string>& arguments, std::size_t& i,
                             LibraryRequest& resume) {
    if (i + 1 >= arguments.size()) {
        return "needs what to do after the restart.";
    }
    const std::optional<LibraryAction> action = ActionOfWord(arguments[++i]);
    if (!action) {
        return "does not know \"" + arguments[i] + "\".";
    }
    const bool anotherAdd = *action == LibraryAction::AddDownloads && resume.action == LibraryAction::AddDownloads;
    if (!resume.empty() && !anotherAdd) {
        return "is given twice.";
    }
    resume.action = *action;
    if (*action == LibraryAction::AddDownloads) {
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            return "add needs a path.";
        }
        resume.paths.push_back(arguments[++i]);
    } else if (TakesSet(*action)) {
        const std::optional<int32_t> set =
            i + 1 < arguments.size() ? SetNumberArgument(arguments[i + 1]) : std::nullopt;
        if (!set) {
            return arguments[i] + " needs a set number from 0 to " +
                   std::to_string(kHighestSetNumber) + ".";
        }
        resume.set = *set;
        ++i;
    }
    return {};
}

std::string QuoteArgument(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only before a quote.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string RestartParameters(const RestartArguments& arguments) {
    std::string parameters;
    if (!arguments.library.empty()) {
        parameters += std::string(kLibrarySwitch) + " " + QuoteArgument(arguments.library);
    }
    if (!arguments.virtualStore.empty()) {
        if (!parameters.empty()) {
            parameters += ' ';
        }
        parameters +=
            std::string(kVirtualStoreSwitch) + " " + QuoteArgument(arguments.virtualStore);
    }
    if (!arguments.resume.empty()) {
        parameters += (parameters.empty() ? "" : " ") + ResumeParameters(arguments.resume);
    }
    return parameters;
}

}  // namespace skyswap
