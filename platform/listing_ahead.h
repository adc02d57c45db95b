// A file system that lists one folder ahead, on a thread of its own, while the program does other
// work: at start the library folder is listed while the window is being built and shown, which in
// a library of thousands of sets takes as long as those do. The first listing asked for of that
// folder takes what was listed then; every other call goes straight to the file system behind.
#pragma once

#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "forwarding_file_system.h"

namespace skyswap {

class ListingAhead final : public ForwardingFileSystem {
  public:
    explicit ListingAhead(FileSystem& real) : ForwardingFileSystem(real) {}
    // Waits for a listing still under way: it reads through the file system behind.
    ~ListingAhead() override;
    ListingAhead(const ListingAhead&) = delete;
    ListingAhead& operator=(const ListingAhead&) = delete;

    // Starts listing `folder`. A thread that cannot be started leaves the listing to be made when
    // it is asked for.
    void Start(const std::string& folder);

    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override;
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        return real_.FileSize(path, size);
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        return real_.ReadAt(path, offset, maxBytes, bytes);
    }
    std::unique_ptr<OpenFile> OpenToRead(const std::string& path) override {
        return real_.OpenToRead(path);
    }

  private:
    struct Listing {
        FsStatus status;
        std::vector<FolderEntry> entries;
    };

    std::mutex mutex_;
    std::string folder_;  // the folder listed ahead, until its listing is taken
    std::future<Listing> listing_;
};

}  // namespace skyswap
