#include "restart_arguments.h"

#include <algorithm>

namespace skyswap {
namespace {

constexpr const char* kLibrarySwitch = "/library";
constexpr const char* kVirtualStoreSwitch = "/virtualstore";

bool IsSwitch(const std::string& argument, const std::string& name) {
    if (argument.size() != name.size() || (argument[0] != '/' && argument[0] != '-')) {
        return false;
    }
    return std::equal(argument.begin() + 1, argument.end(), name.begin() + 1, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

}  // namespace

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
    return parameters;
}

RestartArguments ParseRestartArguments(const std::vector<std::string>& arguments) {
    RestartArguments parsed;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (IsSwitch(arguments[i], kLibrarySwitch)) {
            parsed.library = arguments[++i];
        } else if (IsSwitch(arguments[i], kVirtualStoreSwitch)) {
            parsed.virtualStore = arguments[++i];
        }
    }
    return parsed;
}

}  // namespace skyswap
