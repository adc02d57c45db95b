// Fakes for adding downloads: an archive opener whose archives are lists in memory, with the
// faults a test plants, and a picture scaler that takes any bytes beginning "PICTURE".
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "picture_scaler.h"

namespace skyswap::test {

struct FakeEntry {
    FakeEntry(std::string entryName, std::string entryBytes,
              std::optional<std::uint64_t> declared = std::nullopt, bool isEncrypted = false,
              ArchiveError error = ArchiveError::None)
        : name(std::move(entryName)),
          bytes(std::move(entryBytes)),
          declaredSize(declared),
          encrypted(isEncrypted),
          readError(error) {}

    std::string name;
    std::string bytes;
    std::optional<std::uint64_t> declaredSize;  // else the size of `bytes`
    bool encrypted = false;
    ArchiveError readError = ArchiveError::None;  // what reading it gives
    int failsFromRead = 1;  // from this reading on (1 for every one), as if the file had changed
};

class FakeArchive final : public Archive {
  public:
    explicit FakeArchive(std::vector<FakeEntry> entries) : fakes_(std::move(entries)) {
        for (const FakeEntry& fake : fakes_) {
            ArchiveEntry entry;
            entry.name = fake.name;
            entry.size = fake.declaredSize.value_or(fake.bytes.size());
            entry.isFolder = !fake.name.empty() && fake.name.back() == '/';
            entry.encrypted = fake.encrypted;
            entries_.push_back(entry);
        }
    }
    const std::vector<ArchiveEntry>& Entries() const override { return entries_; }
    ArchiveStatus Read(std::size_t index, std::size_t maxBytes, std::string* bytes) override {
        const FakeEntry& fake = fakes_.at(index);
        readsOf_.resize(fakes_.size());
        if (fake.readError != ArchiveError::None && ++readsOf_[index] >= fake.failsFromRead) {
            return {fake.readError, {}};
        }
        if (fake.bytes.size() > maxBytes) {
            return {ArchiveError::TooLarge, {}};
        }
        if (bytes != nullptr) {
            *bytes = fake.bytes;
        }
        return {};
    }

  private:
    std::vector<FakeEntry> fakes_;
    std::vector<int> readsOf_;
    std::vector<ArchiveEntry> entries_;
};

class FakeArchiveOpener final : public ArchiveOpener {
  public:
    // The archive at a path ending in `pathEnd`.
    void Add(const std::string& pathEnd, std::vector<FakeEntry> entries) {
        archives_[pathEnd] = std::move(entries);
    }
    // Opening a path ending in `pathEnd` fails with `error`.
    void Fail(const std::string& pathEnd, ArchiveError error, FsStatus fs = {}) {
        failures_[pathEnd] = {error, std::move(fs)};
    }
    std::unique_ptr<Archive> Open(FileSystem&, const std::string& path,
                                  ArchiveStatus& status) override {
        for (const auto& [end, failure] : failures_) {
            if (EndsWith(path, end)) {
                status = failure;
                return nullptr;
            }
        }
        for (const auto& [end, entries] : archives_) {
            if (EndsWith(path, end)) {
                status = {};
                return std::make_unique<FakeArchive>(entries);
            }
        }
        status = {ArchiveError::NotAnArchive, {}};
        return nullptr;
    }

  private:
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    std::map<std::string, std::vector<FakeEntry>> archives_;
    std::map<std::string, ArchiveStatus> failures_;
};

// Takes bytes that begin "PICTURE" and fills the box with their last byte, so a test can tell
// from the thumbnail which picture it was made from.
class FakePictureScaler final : public PictureScaler {
  public:
    bool ScaleToCover(const std::string& picture, int width, int height,
                      std::string& pixels) override {
        tried.push_back(picture);
        if (picture.rfind("PICTURE", 0) != 0) {
            return false;
        }
        pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3,
                      picture.back());
        return true;
    }
    std::vector<std::string> tried;
};

// The byte a thumbnail made by FakePictureScaler was filled with, read from its BMP file.
inline std::optional<char> ThumbnailFill(const std::optional<std::string>& bmp) {
    if (!bmp || bmp->size() <= 54) {
        return std::nullopt;
    }
    return (*bmp)[54];
}

}  // namespace skyswap::test
