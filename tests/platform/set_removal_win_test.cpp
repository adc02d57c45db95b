#include "set_removal_win.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace skyswap {
namespace {

// Wine's shell may empty a "Recycle Bin" of its own or delete outright; what Windows shows (the
// folder in the bin, undo) cannot be seen here. What matters to the library is seen: the set's
// folder and everything in it leave the library, and nothing else does.
TEST(SetRemovalWin, TheShellTakesTheWholeFolderAndNothingBeside) {
    test::TempFolder temp;
    EXPECT_TRUE(FolderHasRecycleBin(temp.path())) << "the temporary folder is on a fixed drive";
    for (const bool toRecycleBin : {true, false}) {
        temp.MakeFolder("Skies\\ZT4");
        temp.MakeFolder("Skies\\ZT5");
        temp.WriteFile("Skies\\ZT4\\bnhorizn.ter", "sky");
        temp.WriteFile("Skies\\ZT4\\ZT4.txt", "\"Grey\"");
        temp.SetReadOnly("Skies\\ZT4\\ZT4.txt", true);
        temp.WriteFile("Skies\\ZT5\\bnhorizn.ter", "other");
        const FsStatus status = RemoveFolderThroughShell(temp.Join("Skies\\ZT4"), toRecycleBin);
        // Never a success with the folder left (Wine's shell leaves a read-only file when it
        // deletes for good; Windows' removes it).
        EXPECT_EQ(status.ok(), !temp.Exists("Skies\\ZT4")) << toRecycleBin << status.message;
        if (toRecycleBin) {
            EXPECT_TRUE(status.ok()) << status.message;
        }
        EXPECT_TRUE(temp.Exists("Skies\\ZT5\\bnhorizn.ter"));
    }
    const FsStatus missing = RemoveFolderThroughShell(temp.Join("Skies\\ZT9"), true);
    EXPECT_FALSE(missing.ok());
}

}  // namespace
}  // namespace skyswap
