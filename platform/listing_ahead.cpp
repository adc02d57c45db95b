#include "listing_ahead.h"

#include <system_error>

namespace skyswap {

ListingAhead::~ListingAhead() {
    if (listing_.valid()) {
        listing_.wait();
    }
}

void ListingAhead::Start(const std::string& folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (listing_.valid()) {
        return;  // one folder ahead at most
    }
    try {
        listing_ = std::async(std::launch::async, [this, folder] {
            Listing listing;
            listing.status = real_.ListFolder(folder, listing.entries);
            return listing;
        });
        folder_ = folder;
    } catch (const std::system_error&) {
        // No thread to be had: the folder is listed when it is asked for.
    }
}

FsStatus ListingAhead::ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    std::future<Listing> ahead;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (listing_.valid() && folder == folder_) {
            ahead = std::move(listing_);
            folder_.clear();
        }
    }
    if (!ahead.valid()) {
        return real_.ListFolder(folder, entries);
    }
    Listing listing = ahead.get();
    entries = std::move(listing.entries);
    return listing.status;
}

}  // namespace skyswap
