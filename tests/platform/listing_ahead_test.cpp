#include "listing_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace skyswap::test {
namespace {

// Counts the listings of the file system behind, and tells when the first one is done.
class ListingCounter final : public ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        const FsStatus status = real_.ListFolder(folder, entries);
        if (++listings == 1) {
            firstDone.set_value();
        }
        return status;
    }
    int listings = 0;
    std::promise<void> firstDone;
};

std::vector<std::string> NamesOf(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The library is listed while the window is made: the first listing asked for of it is the one
// made then, every later one and any other folder's are made when asked.
TEST(ListingAhead, TheFirstListingOfTheFolderIsTheOneMadeAhead) {
    TempFolder temp;
    temp.MakeFolder("Skies\\ZT0");
    temp.MakeFolder("Other");
    const std::unique_ptr<FileSystem> platform = MakePlatformFileSystem();
    ListingCounter counter(*platform);
    ListingAhead files(counter);
    std::future<void> listed = counter.firstDone.get_future();

    files.Start(temp.Join("Skies"));
    listed.wait();
    temp.MakeFolder("Skies\\ZT1");  // made after the listing ahead
    std::vector<FolderEntry> ahead;
    std::vector<FolderEntry> later;
    std::vector<FolderEntry> other;
    const FsStatus first = files.ListFolder(temp.Join("Skies"), ahead);
    files.ListFolder(temp.Join("Skies"), later);
    files.ListFolder(temp.Join("Other"), other);

    EXPECT_TRUE(first.ok());
    EXPECT_EQ(NamesOf(ahead), std::vector<std::string>{"ZT0"});
    EXPECT_EQ(NamesOf(later), (std::vector<std::string>{"ZT0", "ZT1"}));
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(counter.listings, 3);
}

// A listing that failed ahead says so as it would have when asked; one never asked for is waited
// for when the program ends.
TEST(ListingAhead, AFailedListingIsPassedOnAndAnUntakenOneIsWaitedFor) {
    TempFolder temp;
    const std::unique_ptr<FileSystem> platform = MakePlatformFileSystem();
    {
        ListingAhead files(*platform);
        files.Start(temp.Join("missing"));
        std::vector<FolderEntry> entries;
        EXPECT_EQ(files.ListFolder(temp.Join("missing"), entries).error, FsError::NotFound);
    }
    ListingCounter counter(*platform);
    {
        ListingAhead files(counter);
        files.Start(temp.path());
    }
    EXPECT_EQ(counter.listings, 1);
}

}  // namespace
}  // namespace skyswap::test
