// Which folders of a download become sets, and what each brings along: its description, the
// pictures to try for its thumbnail and the readme files. Pure functions of the listing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download.h"

namespace skyswap {

// A readme of more than this is not a readme; it stays behind.
constexpr std::uint64_t kLargestTextBytes = 1024 * 1024;

// A folder of the download that becomes a set.
struct SetSource {
    std::string folder;
    std::vector<const DownloadFile*> skyFiles;  // by SkyFileNames index, null where absent
};

// Case-insensitive, folder by folder, numbers by their value: "Pack\Sky 2" before "Pack\sky 3"
// and "Pack\Sky 10", and "Pack\A" (a folder inside "Pack") before "Pack A".
bool FolderBefore(const std::string& a, const std::string& b);
// The folders down to kDeepestSetFolder that hold sky files, in FolderBefore order.
std::vector<SetSource> SetSourcesOf(const Download& download);
// Why a download with no sky files adds nothing.
std::string NoSkyFilesReason();
// The set number a folder of another library stands for ("ZT7" -> 7), or that a folder
// SkySwap exported says by its one "ZTn.txt".
std::optional<int32_t> OtherLibrarySet(const Download& download, const std::string& folder);
// The file `name` of `folder`, in any letter case; null when there is none.
const DownloadFile* FileNamed(const Download& download, const std::string& folder,
                              const std::string& name);
// Keeps a description to one field between double quotes: a double quote inside becomes a
// single one, and control characters go.
std::string Printable(const std::string& text);
// The description of a new set: another library's own, else the download's name, with the set's
// folder after it when the download is a pack (`pack`).
std::string DescriptionOf(Download& download, const SetSource& source, bool pack);
// The pictures to try for a set's thumbnail, the best first: another library's thumbnail, then
// the set folder's own pictures (those whose name says what they show before the largest), then
// those of each folder above it up to the download's top, which may stand for a whole pack.
std::vector<const DownloadFile*> PictureCandidates(const Download& download,
                                                   const SetSource& source);
// The readme and credits of the set's folder and of the folders above it up to the download's
// top, the nearest first; a description file of another library stays behind.
std::vector<const DownloadFile*> TextsFor(const Download& download, const SetSource& source);

// The longest file name Windows holds, in UTF-16 code units.
constexpr std::size_t kLongestFileName = 255;
// The names `texts` are written under in a set folder: each its own, or one cut short to fit in
// kLongestFileName with its extension kept, and numbered where two cut names would meet.
std::vector<std::string> TextFileNames(const std::vector<const DownloadFile*>& texts);

}  // namespace skyswap
