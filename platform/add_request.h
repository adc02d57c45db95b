// The paths that a SkySwap started from the command line (or by a drop on the program's icon)
// hands to the window that has the library open, as one WM_COPYDATA message: a tag of our own in
// dwData, then the paths in UTF-16, each ended by a NUL. Anything else that arrives as
// WM_COPYDATA, from another program or cut short, is not a request and is ignored.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace skyswap {

// "SSAD": SkySwap, add downloads.
constexpr ULONG_PTR kAddRequestTag = 0x53534144;
// A request holds at most this many paths, each at most the longest path Windows allows.
constexpr std::size_t kMostRequestPaths = 4096;
constexpr std::size_t kLongestRequestPath = 32767;

// The message's data: every path followed by its NUL. Empty when a path is empty, holds a NUL
// or is too long, or when there are none or too many.
std::wstring EncodeAddRequest(const std::vector<std::string>& paths);

// The paths of a well-formed request (UTF-8); nothing for any other data.
std::optional<std::vector<std::string>> DecodeAddRequest(const COPYDATASTRUCT& data);

// Sends the paths to `window` and waits up to `milliseconds` for it to take them. True when it
// said it did.
bool SendAddRequest(HWND window, const std::vector<std::string>& paths, UINT milliseconds);

}  // namespace skyswap
