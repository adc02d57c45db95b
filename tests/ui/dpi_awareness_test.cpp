// The process's DPI awareness when the manifest has set it already. Wine does not refuse a
// second request as Windows does, so the decision is tested with Windows' answers given.
#include <windows.h>

#include <gtest/gtest.h>

#include "dpi.h"

namespace skyswap::test {
namespace {

TEST(DpiAwareness, FallsBackToSystemAwarenessOnlyWherePerMonitorIsNotToBeHad) {
    struct Case {
        const char* what;
        bool functionFound;
        bool contextSet;
        DWORD error;
        bool fallback;
    };
    const Case cases[] = {
        {"per-monitor v2 set", true, true, 0, false},
        // Windows says "access denied" when the manifest has set the awareness already: the
        // window is per-monitor v2, and SetProcessDPIAware would be wrong.
        {"set by the manifest already", true, false, ERROR_ACCESS_DENIED, false},
        {"refused as unknown (before 1703)", true, false, ERROR_INVALID_PARAMETER, true},
        {"refused for another reason", true, false, ERROR_GEN_FAILURE, true},
        {"Windows older than 1607", false, false, 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NeedsSystemDpiFallback(c.functionFound, c.contextSet, c.error), c.fallback)
            << c.what;
    }
}

}  // namespace
}  // namespace skyswap::test
