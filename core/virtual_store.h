// The VirtualStore: Windows redirects an old program without a manifest (the game is one) from
// the folders it protects to a per-user mirror, and such a program then reads a file from its
// shadow copy there whenever one exists. SkySwap looks at the game folder the way the game does,
// and removes the shadow copies of the ten sky files once it has installed a sky.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "forwarding_file_system.h"
#include "transfers.h"

namespace skyswap {

// The user's known folders that decide the mirror. Paths in the program's form; any may be
// empty when the system has no such folder.
struct KnownFolders {
    std::string programFiles;
    std::string programFilesX86;
    std::string windows;
    std::string programData;  // %ALLUSERSPROFILE%, virtualised as Program Files is
    std::string localAppData;
    // When set, used instead of localAppData + "\VirtualStore": the VirtualStore of the user who
    // started SkySwap, given to a restart under another account.
    std::string virtualStore;
};

// The VirtualStore folder of these known folders.
std::string VirtualStoreFolder(const KnownFolders& known);

// The folder of the VirtualStore that mirrors `gameFolder`, or nothing when the game folder lies
// under none of the folders Windows virtualises (Program Files, Program Files (x86), the Windows
// folder). Letter case does not matter; a trailing separator is ignored; a network path is never
// virtualised.
std::optional<std::string> VirtualStoreMirror(const std::string& gameFolder,
                                              const KnownFolders& known);

// The game folder as the game sees it: each of the ten sky files is read from its shadow copy in
// the mirror when one exists, else from the game folder itself. Every other path, and every
// change, goes to the file system beneath unchanged, so transfers write the real game folder.
class GameView final : public ForwardingFileSystem {
  public:
    explicit GameView(FileSystem& real) : ForwardingFileSystem(real) {}

    // No mirror: the view is the game folder itself.
    void SetFolders(const std::string& gameFolder, std::optional<std::string> mirror);
    const std::optional<std::string>& Mirror() const { return mirror_; }
    // The file system beneath, which reads the game folder itself, when a shadow copy of a sky
    // file hides a file there from the game; else nothing.
    FileSystem* BehindShadows();

    bool CanOpenForReading(const std::string& path) override;
    bool IsFile(const std::string& path) override;
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override;
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override;
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override;

  private:
    // The path the game would read for `path`.
    std::string Seen(const std::string& path);

    std::string gameFolder_;
    std::optional<std::string> mirror_;
};

// What Windows says of a shadow copy opened without following a link in its own name, and of the
// VirtualStore folder: where each really is (their final paths).
struct OpenedShadowCopy {
    bool isLink = false;    // the file itself is a junction or symbolic link
    std::string finalPath;  // of the file
    std::string finalRoot;  // of the VirtualStore folder
};

// True when `path`, which lies below the VirtualStore folder `root`, reaches its file through no
// junction or symbolic link: the file is none, and its final path is the root's final path
// followed by the same names. The user can rearrange their VirtualStore at will, and a SkySwap
// with administrator rights deletes there: a link would lead the deletion anywhere.
bool ReachedWithoutLinks(const std::string& root, const std::string& path,
                         const OpenedShadowCopy& opened);

// Why a shadow copy was left alone, for the user.
std::string LinkRefusal(const std::string& root);

// Deletes one shadow copy; the Windows adapter refuses one reached through a link.
using RemoveShadowCopy = std::function<FsStatus(const std::string& path)>;

// Called with the mirror folder before its shadow copies are deleted: the sky they hold, when it
// is in no set of the library, is kept as a new set first. A failure keeps them where they are.
using KeepShadowSky = std::function<FsStatus(const std::string& mirror)>;

// Deletes the shadow copies of the ten sky files in `mirror`, and nothing else there. Done when
// there were none (or no mirror folder); StagingFailed, with nothing deleted, when `keep` failed
// (no `keep`: the sky they hold was kept already, as a transfer through GameView does);
// SomeFilesFailed naming the ones that stay. `folder` holds the mirror. Each is deleted by
// `remove`, or by fs.RemoveFile without it.
TransferReport RemoveShadowCopies(FileSystem& fs, const std::string& mirror,
                                  const KeepShadowSky& keep = {},
                                  const RemoveShadowCopy& remove = {});

}  // namespace skyswap
