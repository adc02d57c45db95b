// Caring for one set of the library: a new description, an export as a ZIP file that adding
// takes back as it was, and the removal of its folder. The library session decides when each may
// run; these write the files.
#pragma once

#include <cstdint>
#include <string>

#include "app_state.h"
#include "archive_writer.h"
#include "file_system.h"

namespace skyswap {

// `text` made fit for a file or folder name on Windows: the characters it forbids (\ / : * ? " <
// > | and control characters) become "_", spaces and dots at the end go (Windows drops them), a
// device name (CON, NUL, COM1, ...) gets a "_" after it, and a long text is cut to 100
// characters. Empty when nothing is left.
std::string SafeFileName(const std::string& text);

// The name the Save dialog suggests for exporting set `set`: "ZT3 - Stormy Evening.zip", or
// "ZT3.zip" for a set without a description.
std::string SuggestedExportName(int32_t set, const std::string& description);

// Writes `description` (already cleaned, see CleanDescription) as the first field of the
// description file `path`, keeping the rest of the file: to a temporary name beside it, flushed,
// then renamed over it, so a failure leaves the old file whole. A missing file is made.
FsStatus WriteDescriptionFile(FileSystem& fs, const std::string& path,
                              const std::string& description);

struct ExportResult {
    FsStatus status;
    std::string file;  // what failed: a file of the set, or the ZIP file itself

    bool ok() const { return status.ok(); }
};

// Writes set `set` to the ZIP file `zipPath`: one folder named after `description` (made safe,
// or "ZTn" without one) holding the set's ten sky files, its thumbnail, its description and the
// texts beside them. Through a temporary name, flushed, then renamed over `zipPath`.
ExportResult ExportSetAsZip(FileSystem& fs, const AppState& state, int32_t set,
                            const std::string& description, const std::string& zipPath,
                            ArchiveWriter& writer);

// Deletes the files of a set's folder, then the folder: removal for good where no Recycle Bin
// takes it and the system gave no other way.
FsStatus DeleteSetFolder(FileSystem& fs, const std::string& folder);

}  // namespace skyswap
