#include "download_sets.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "add_sets.h"
#include "ascii.h"
#include "description.h"
#include "discovery.h"
#include "transfers.h"

namespace skyswap {

namespace {

bool NameSays(const std::string& name) {
    const std::string stem = AsciiLower(StemOf(name));
    for (const char* word : {"preview", "thumb", "screen", "sky"}) {
        if (stem.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A name Windows can hold as a file, for the texts copied along.
bool PlainFileName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    });
}

}  // namespace

bool FolderBefore(const std::string& a, const std::string& b) {
    // The separator sorts before every character of a name.
    const auto at = [](const std::string& path, std::size_t i) {
        return path[i] == '\\' ? '\x01' : AsciiLower(path[i]);
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // A run of digits against a run of digits: by value, leading zeros aside.
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && digit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && digit(b[endB])) {
                ++endB;
            }
            std::size_t startA = i;
            std::size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0') {
                ++startA;
            }
            while (startB + 1 < endB && b[startB] == '0') {
                ++startB;
            }
            const std::string_view valueA(a.data() + startA, endA - startA);
            const std::string_view valueB(b.data() + startB, endB - startB);
            if (valueA.size() != valueB.size()) {
                return valueA.size() < valueB.size();
            }
            if (valueA != valueB) {
                return valueA < valueB;
            }
            if (endA - i != endB - j) {
                return endA - i < endB - j;  // "7" before "007"
            }
            i = endA;
            j = endB;
            continue;
        }
        if (at(a, i) != at(b, j)) {
            return static_cast<unsigned char>(at(a, i)) < static_cast<unsigned char>(at(b, j));
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<SetSource> SetSourcesOf(const Download& download) {
    std::map<std::string, SetSource> byFolder;
    for (const DownloadFile& file : download.files) {
        if (file.kind != FileKind::Sky || DepthOf(file.folder) > kDeepestSetFolder) {
            continue;
        }
        SetSource& source = byFolder[file.folder];
        source.folder = file.folder;
        source.skyFiles.resize(SkyFileNames.size(), nullptr);
        // Two names that differ only in case: the first in name order counts.
        const DownloadFile*& slot = source.skyFiles[static_cast<std::size_t>(file.sky)];
        if (slot == nullptr || file.name < slot->name) {
            slot = &file;
        }
    }
    std::vector<SetSource> sources;
    for (auto& [folder, source] : byFolder) {
        sources.push_back(std::move(source));
    }
    std::stable_sort(sources.begin(), sources.end(), [](const SetSource& a, const SetSource& b) {
        return FolderBefore(a.folder, b.folder);
    });
    return sources;
}

std::string NoSkyFilesReason() {
    std::string names;
    for (const char* name : SkyFileNames) {
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    return "It holds none of the sky files SkySwap looks for (" + names +
           ", in any letter case), neither in its own folder nor in folders up to " +
           std::to_string(kDeepestSetFolder) + " levels below.";
}

std::optional<int32_t> OtherLibrarySet(const Download& download, const std::string& folder) {
    if (const std::optional<int32_t> named =
            SetNumberFromFolderName(folder.empty() ? download.name : LastName(folder))) {
        return named;
    }
    // A set that SkySwap exported sits in a folder named after its description and keeps its
    // own ZTn.txt: the one such file of the folder names the set.
    std::optional<int32_t> found;
    for (const DownloadFile& file : download.files) {
        const std::size_t dot = file.name.rfind('.');
        if (file.folder != folder || dot == std::string::npos ||
            AsciiLower(file.name.substr(dot)) != ".txt") {
            continue;
        }
        if (const std::optional<int32_t> set = SetNumberFromFolderName(file.name.substr(0, dot))) {
            if (found) {
                return std::nullopt;
            }
            found = set;
        }
    }
    return found;
}

const DownloadFile* FileNamed(const Download& download, const std::string& folder,
                              const std::string& name) {
    const std::string lower = AsciiLower(name);
    for (const DownloadFile& file : download.files) {
        if (file.folder == folder && AsciiLower(file.name) == lower) {
            return &file;
        }
    }
    return nullptr;
}

std::string Printable(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '"') {
            result += '\'';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            result += c;
        }
    }
    return result;
}

std::string DescriptionOf(Download& download, const SetSource& source, bool pack) {
    if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
        const std::string name = SetFolderName(*other) + ".txt";
        if (const DownloadFile* file = FileNamed(download, source.folder, name)) {
            std::string bytes;
            if (!download.Read(*file, bytes)) {
                const std::string field = Printable(FirstField(bytes));
                if (!field.empty()) {
                    return field;
                }
            }
        }
    }
    std::string description = download.name;
    if (pack && !source.folder.empty()) {
        description += " - " + LastName(source.folder);
    }
    return Printable(description);
}

std::vector<const DownloadFile*> PictureCandidates(const Download& download,
                                                   const SetSource& source) {
    std::vector<const DownloadFile*> candidates;
    const auto add = [&](const DownloadFile* file) {
        if (file != nullptr &&
            std::find(candidates.begin(), candidates.end(), file) == candidates.end()) {
            candidates.push_back(file);
        }
    };
    if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
        add(FileNamed(download, source.folder, SetFolderName(*other) + ".bmp"));
    }
    const auto picturesIn = [&](const std::string& folder) {
        std::vector<const DownloadFile*> pictures;
        for (const DownloadFile& file : download.files) {
            if (file.kind == FileKind::Picture && file.folder == folder) {
                pictures.push_back(&file);
            }
        }
        std::stable_sort(
            pictures.begin(), pictures.end(), [](const DownloadFile* a, const DownloadFile* b) {
                return a->size != b->size ? a->size > b->size : FolderBefore(a->name, b->name);
            });
        return pictures;
    };
    for (std::string folder = source.folder;; folder = ParentOf(folder)) {
        const std::vector<const DownloadFile*> pictures = picturesIn(folder);
        for (const DownloadFile* file : pictures) {
            if (NameSays(file->name)) {
                add(file);
            }
        }
        for (const DownloadFile* file : pictures) {
            add(file);
        }
        if (folder.empty()) {
            break;
        }
    }
    return candidates;
}

std::vector<const DownloadFile*> TextsFor(const Download& download, const SetSource& source) {
    std::vector<const DownloadFile*> texts;
    std::set<std::string> names;
    std::string folder = source.folder;
    for (;;) {
        for (const DownloadFile& file : download.files) {
            if (file.kind != FileKind::Text || file.folder != folder ||
                file.size > kLargestTextBytes || !PlainFileName(file.name) ||
                (ExtensionOf(file.name) == ".txt" && SetNumberFromFolderName(StemOf(file.name)))) {
                continue;
            }
            if (names.insert(AsciiLower(file.name)).second) {
                texts.push_back(&file);
            }
        }
        if (folder.empty()) {
            break;
        }
        folder = ParentOf(folder);
    }
    return texts;
}

std::vector<std::string> TextFileNames(const std::vector<const DownloadFile*>& texts) {
    // UTF-16 code units of a UTF-8 name: four bytes make two, other sequences one.
    const auto units = [](const std::string& name) {
        std::size_t count = 0;
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            count += (byte & 0xC0) != 0x80 ? (byte >= 0xF0 ? 2 : 1) : 0;
        }
        return count;
    };
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const DownloadFile* text : texts) {
        taken.insert(AsciiLower(text->name));
    }
    for (const DownloadFile* text : texts) {
        if (units(text->name) <= kLongestFileName) {
            names.push_back(text->name);
            continue;
        }
        const std::string extension =
            text->name.substr(text->name.size() - ExtensionOf(text->name).size());
        const std::string stem = text->name.substr(0, text->name.size() - extension.size());
        for (int number = 1;; ++number) {
            const std::string suffix = number == 1 ? "" : " (" + std::to_string(number) + ")";
            const std::size_t room = kLongestFileName - units(suffix + extension);
            std::size_t used = 0;
            std::size_t end = 0;  // the cut's end in `stem`, at a character's first byte
            while (end < stem.size()) {
                std::size_t next = end + 1;
                while (next < stem.size() &&
                       (static_cast<unsigned char>(stem[next]) & 0xC0) == 0x80) {
                    ++next;
                }
                used += units(stem.substr(end, next - end));
                if (used > room) {
                    break;
                }
                end = next;
            }
            std::string cut = stem.substr(0, end);
            // Windows drops a trailing dot or space, and the name would not be the one written.
            while (!cut.empty() && (cut.back() == '.' || cut.back() == ' ')) {
                cut.pop_back();
            }
            const std::string name = cut + suffix + extension;
            if (taken.insert(AsciiLower(name)).second) {
                names.push_back(name);
                break;
            }
        }
    }
    return names;
}

}  // namespace skyswap
