#include "restart_arguments.h"

namespace skyswap {
namespace {

constexpr const char* kLibrarySwitch = "/library";
constexpr const char* kVirtualStoreSwitch = "/virtualstore";

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

}  // namespace skyswap
