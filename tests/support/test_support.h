// Helpers shared by the tests: the platform's real file system and temporary folders.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_system.h"

namespace skyswap::test {

// The file system the program uses on this platform (Windows: the W functions; elsewhere POSIX).
std::unique_ptr<FileSystem> MakePlatformFileSystem();

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// Paths given and returned are in the program's form: UTF-8, joined with "\".
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return root_; }
    // root + "\" + relative ("a\b" for nested names).
    std::string Join(const std::string& relative) const;

    void MakeFolder(const std::string& relative) const;  // parents included
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::optional<std::string> ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Names in a folder, sorted, without "." and "..".
    std::vector<std::string> List(const std::string& relative = "") const;
    void SetReadOnly(const std::string& relative, bool readOnly) const;
    // Sets the hidden attribute (Windows) or does nothing and returns false.
    bool SetHidden(const std::string& relative) const;

  private:
    std::string root_;
};

// Makes the process's current folder `path` for the lifetime of the object.
class CurrentFolderScope {
  public:
    explicit CurrentFolderScope(const std::string& path);
    ~CurrentFolderScope();
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

  private:
    std::string previous_;
};

}  // namespace skyswap::test
