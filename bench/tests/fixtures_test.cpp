// A ratio means something only when the baseline does the same work as the program: these tests
// check that the fixtures hold what the benchmarks assume and that the baselines really copy,
// list and read what the program does.
#include <gtest/gtest.h>

#include <string>

#include "app_state.h"
#include "description.h"
#include "discovery.h"
#include "fixtures.h"
#include "paging.h"
#include "paths.h"
#include "platform.h"
#include "timing_file_system.h"
#include "transfers.h"

namespace skyswap::bench {
namespace {

std::string ReadAll(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(BareRead(ToNative(path), 1 << 20, bytes)) << path;
    return bytes;
}

TEST(BenchFixtures, PlainCopyAndTheStagedInstallLeaveTheSameGameFolder) {
    const TransferFixture fixture(4096);
    for (const char* name : SkyFileNames) {
        ASSERT_EQ(ReadAll(JoinPath(fixture.set(0), name)).size(), 4096u) << name;
        EXPECT_NE(ReadAll(JoinPath(fixture.set(0), name)), ReadAll(JoinPath(fixture.set(1), name)))
            << "the two sets must differ, or a copy that does nothing would pass for one";
        EXPECT_NE(ReadAll(JoinPath(fixture.game(), name)), ReadAll(JoinPath(fixture.set(0), name)));
    }

    for (const char* name : SkyFileNames) {
        ASSERT_TRUE(PlainCopy(ToNative(JoinPath(fixture.set(0), name)),
                              ToNative(JoinPath(fixture.game(), name))));
        EXPECT_EQ(ReadAll(JoinPath(fixture.game(), name)), ReadAll(JoinPath(fixture.set(0), name)))
            << name;
    }

    auto platform = test::MakePlatformFileSystem();
    TimingFileSystem fs(*platform);
    AppState app;
    app.gameFolder = fixture.game();
    app.selectedSet = 1;
    app.selectedFolder = fixture.set(1);
    ASSERT_TRUE(InstallSelected(app, fs).ok());
    for (const char* name : SkyFileNames) {
        EXPECT_EQ(ReadAll(JoinPath(fixture.game(), name)), ReadAll(JoinPath(fixture.set(1), name)))
            << name;
    }
    EXPECT_EQ(BareListing(ToNative(fixture.game())), 2 + 1 + 1 + 10)
        << "., .., eaw.ini, Skies and the ten files: no staged copy left behind";
    EXPECT_GT(fs.Seconds().count("copy"), 0u);
    EXPECT_GT(fs.Seconds().count("move"), 0u);
}

TEST(BenchFixtures, TheLibraryIsWhatDiscoveryAndTheMouseMoveExpect) {
    const test::TempFolder temp;
    const std::string library = MakeSetLibrary(temp.Join("fixture"), 12);

    EXPECT_EQ(BareListing(ToNative(library)), 12 + 2 + 2) << "sets, ZTDef, nosky.jpg, . and ..";
    auto fs = test::MakePlatformFileSystem();
    AppState app;
    {
        test::CurrentFolderScope current(library);
        ASSERT_EQ(DiscoverLibrary(app, *fs), DiscoveryResult::Ok);
    }
    EXPECT_EQ(app.setCount, 12);

    ToolTipRecorder images;
    DescribeSlot(app, *fs, images, 3);
    EXPECT_EQ(images.ToolTip(3), FirstField(DescriptionText(3)));
    EXPECT_FALSE(images.ToolTip(3).empty());
    std::string bytes;
    ASSERT_TRUE(BareRead(ToNative(DescriptionPath(app, 3)), kDescriptionReadLimit, bytes));
    EXPECT_EQ(bytes, DescriptionText(3)) << "the baseline reads the file the slot describes";
}

TEST(BenchFixtures, TheProgramsOwnOptionsAreTakenOutOfTheCommandLine) {
    std::string program = "core_bench";
    std::string smoke = "--smoke";
    std::string library = "--library=Z:\\lib";
    std::string sets = "--sets=250";
    std::string theirs = "--benchmark_repetitions=3";
    char* argv[] = {program.data(), smoke.data(), library.data(), sets.data(), theirs.data()};
    int argc = 5;

    const BenchOptions options = ParseBenchOptions(argc, argv);

    EXPECT_TRUE(options.smoke);
    EXPECT_EQ(options.library, "Z:\\lib");
    EXPECT_EQ(options.sets, 250);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], "--benchmark_repetitions=3");
}

}  // namespace
}  // namespace skyswap::bench
