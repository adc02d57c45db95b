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
    const bool anotherAdd =
        *action == LibraryAction::AddDownloads && resume.action == LibraryAction::AddDownloads;
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

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// `rest` is what follows "X:" in a path ("\\EAW\Skies", or empty for the drive itself).
std::string OnTarget(std::string target, const std::string& rest) {
    if (rest.empty()) {
        return target;
    }
    while (!target.empty() && (target.back() == '\\' || target.back() == '/')) {
        target.pop_back();
    }
    return target + (rest[0] == '\\' || rest[0] == '/' ? "" : "\\") + rest;
}

}  // namespace

std::optional<std::string> PathSeenWhenElevated(const std::string& path,
                                                const DriveMappingQuery& driveOf) {
    std::string current = path;
    // subst S: T:\x with subst T: S:\y would never end.
    for (int hops = 0; hops < 16; ++hops) {
        // "\\?\X:\..." names the drive as "X:\..." does; "\\?\UNC\..." and "\\server\..." name
        // a share, which needs no drive letter.
        const bool verbatim = StartsWith(current, "\\\\?\\") || StartsWith(current, "\\\\.\\");
        const std::string prefix = verbatim ? current.substr(0, 4) : std::string();
        const std::string drivePath = current.substr(prefix.size());
        if (drivePath.size() < 2 || drivePath[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(drivePath[0])) || !driveOf) {
            return current;
        }
        const DriveMapping mapping =
            driveOf(static_cast<char>(std::toupper(static_cast<unsigned char>(drivePath[0]))));
        const std::string rest = drivePath.substr(2);
        switch (mapping.kind) {
            case DriveMapping::Kind::Volume:
                return current;
            case DriveMapping::Kind::Unknown:
                return std::nullopt;
            case DriveMapping::Kind::Substituted:
            case DriveMapping::Kind::Network:
                if (mapping.target.empty()) {
                    return std::nullopt;
                }
                break;
        }
        std::string target = mapping.target;
        if (verbatim && StartsWith(target, "\\\\")) {
            target = "UNC\\" + target.substr(2);  // "\\?\UNC\server\share"
        }
        current = (verbatim ? prefix : std::string()) + OnTarget(target, rest);
    }
    return std::nullopt;
}

std::optional<RestartPlan> PlanRestart(const std::string& program, RestartArguments arguments,
                                       const DriveMappingQuery& driveOf, std::string& unseen) {
    const auto seen = [&](std::string& path) {
        if (path.empty()) {
            return true;
        }
        std::optional<std::string> reachable = PathSeenWhenElevated(path, driveOf);
        if (!reachable) {
            unseen = path;
            return false;
        }
        path = std::move(*reachable);
        return true;
    };
    RestartPlan plan;
    plan.program = program;
    if (!seen(plan.program) || !seen(arguments.library) || !seen(arguments.virtualStore)) {
        return std::nullopt;
    }
    for (std::string& carried : arguments.resume.paths) {
        if (!seen(carried)) {
            return std::nullopt;
        }
    }
    plan.folder = arguments.library;
    plan.parameters = RestartParameters(arguments);
    return plan;
}

}  // namespace skyswap
