// The real file-system adapters when a copy breaks off half-way: the staged file written so far
// must go, whatever the core does afterwards, and the old target stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "transfers.h"

#ifdef _WIN32
#include <windows.h>

#include "text_win.h"
#else
#include <signal.h>
#include <sys/resource.h>

#include "posix_file_system.h"
#endif

namespace skyswap {
namespace {

// Several of either adapter's copy buffers, so that some are written before the fault.
constexpr std::size_t kSourceSize = 1 << 20;

#ifdef _WIN32
// The source is a pipe whose other end sends half the file and hangs up (as a network share that
// goes away): reading fails after the first half has been written. One clean-up in the adapter
// serves a failed read and a failed write alike.
class CopyBreaksOff {
  public:
    explicit CopyBreaksOff(const std::string&)
        : name_(L"\\\\.\\pipe\\SkySwapHalfCopy-" + std::to_wstring(GetCurrentProcessId())),
          pipe_(CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 64 * 1024, 0, 0, nullptr)) {
        if (pipe_ != INVALID_HANDLE_VALUE) {
            sender_ = CreateThread(nullptr, 0, SendHalf, this, 0, nullptr);
        }
    }
    ~CopyBreaksOff() {
        if (sender_ != nullptr) {
            WaitForSingleObject(sender_, 10000);
            CloseHandle(sender_);
        }
    }
    bool armed() const { return sender_ != nullptr; }
    std::string source() const { return WideToUtf8(name_); }

  private:
    static DWORD WINAPI SendHalf(void* parameter) {
        auto* self = static_cast<CopyBreaksOff*>(parameter);
        if (ConnectNamedPipe(self->pipe_, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
            const std::string half(kSourceSize / 2, 'n');
            DWORD written = 0;
            WriteFile(self->pipe_, half.data(), static_cast<DWORD>(half.size()), &written, nullptr);
            FlushFileBuffers(self->pipe_);  // until the reader has it all
        }
        CloseHandle(self->pipe_);
        return 0;
    }

    std::wstring name_;
    HANDLE pipe_;
    HANDLE sender_ = nullptr;
};
#else
// The process may write files of half the source's size at most: the write fails (EFBIG) once the
// first half is written.
class CopyBreaksOff {
  public:
    explicit CopyBreaksOff(const std::string& source)
        : source_(source), previousHandler_(signal(SIGXFSZ, SIG_IGN)) {
        rlimit limit{};
        if (getrlimit(RLIMIT_FSIZE, &previous_) == 0) {
            limit = previous_;
            limit.rlim_cur = kSourceSize / 2;
            armed_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }
    }
    ~CopyBreaksOff() {
        if (armed_) {
            setrlimit(RLIMIT_FSIZE, &previous_);
        }
        signal(SIGXFSZ, previousHandler_);
    }
    bool armed() const { return armed_; }
    const std::string& source() const { return source_; }

  private:
    std::string source_;
    void (*previousHandler_)(int);
    rlimit previous_{};
    bool armed_ = false;
};
#endif

TEST(PlatformFileSystem, ACopyThatFailsHalfWayLeavesNoStagedFile) {
    test::TempFolder temp;
    const std::string contents(kSourceSize, 'n');
    temp.WriteFile("bncltra0.ter", contents);
    temp.MakeFolder("Game");
    temp.WriteFile("Game\\bncltra0.ter", "old");
    const std::string staged = std::string("Game\\bncltra0.ter") + kStagedSuffix;
    auto fs = test::MakePlatformFileSystem();

    FsStatus status;
    {
        CopyBreaksOff fault(temp.Join("bncltra0.ter"));
        ASSERT_TRUE(fault.armed()) << "the test cannot plant its fault here";
        status = fs->CopyToStaged(fault.source(), temp.Join(staged));
    }
    EXPECT_FALSE(status.ok()) << "a copy that broke off was reported as done";
    EXPECT_FALSE(status.message.empty()) << "the user reads no reason";
    EXPECT_FALSE(temp.Exists(staged)) << "half a staged file stayed in the game folder";
    EXPECT_EQ(temp.ReadFile("Game\\bncltra0.ter"), "old");

    // Without the fault the same copy goes through: nothing was left in its way.
    ASSERT_TRUE(fs->CopyToStaged(temp.Join("bncltra0.ter"), temp.Join(staged)).ok());
    EXPECT_EQ(temp.ReadFile(staged), contents);
}

// An archive's reader keeps its file open: each read answers as ReadAt does, a file that is not
// there yet is found at a later read, and what was opened goes on being read once it is moved
// away and another file takes its name.
TEST(PlatformFileSystem, AFileKeptOpenReadsAsReadAtDoes) {
    test::TempFolder temp;
    auto fs = test::MakePlatformFileSystem();
    const std::string path = temp.Join("data.bin");
    const std::unique_ptr<OpenFile> file = fs->OpenToRead(path);
    std::string got = "left over";
    EXPECT_EQ(file->ReadAt(0, 10, got).error, FsError::NotFound);
    EXPECT_TRUE(got.empty());

    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    temp.WriteFile("data.bin", bytes);
    const struct {
        std::uint64_t offset;
        std::size_t count;
    } reads[] = {{0, 10},     {150000, 100000},      {199990, 10}, {200000, 5},
                 {300000, 5}, {(1ULL << 32) + 3, 4}, {5, 0}};
    for (const auto& read : reads) {
        SCOPED_TRACE(std::to_string(read.offset) + " " + std::to_string(read.count));
        std::string throughPath;
        ASSERT_TRUE(fs->ReadAt(path, read.offset, read.count, throughPath).ok());
        ASSERT_TRUE(file->ReadAt(read.offset, read.count, got).ok());
        EXPECT_TRUE(got == throughPath);
        const auto from =
            static_cast<std::size_t>(std::min<std::uint64_t>(read.offset, bytes.size()));
        EXPECT_TRUE(got == bytes.substr(from, read.count));
    }

    // Moved away while it is open (the rename of a folder serves a file too), and its name
    // taken by another file.
    ASSERT_TRUE(fs->RenameFolder(path, temp.Join("moved.bin")).ok());
    temp.WriteFile("data.bin", "another file");
    ASSERT_TRUE(file->ReadAt(0, 10, got).ok());
    EXPECT_EQ(got, bytes.substr(0, 10));
}

TEST(PlatformFileSystem, AListingGivesTheKindsAndOnWindowsTheSizesOfFiles) {
    test::TempFolder temp;
    temp.MakeFolder("Set");
    temp.WriteFile("Set\\cloud1.ter", std::string(70000, 'c'));
    temp.WriteFile("Set\\CLOUD2.TER", "");
    temp.MakeFolder("Set\\bnhorizn.ter");  // a folder by a sky file's name
    auto fs = test::MakePlatformFileSystem();
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(fs->ListFolder(temp.Join("Set"), entries).ok());
    std::map<std::string, FolderEntry> byName;
    for (const FolderEntry& entry : entries) {
        byName[entry.name] = entry;
    }
    ASSERT_EQ(byName.size(), 3u);
#ifdef _WIN32
    // Windows' listing has the sizes; readdir has none, and FileSize is asked instead.
    EXPECT_EQ(byName["cloud1.ter"].size, std::optional<std::uint64_t>(70000));
    EXPECT_EQ(byName["CLOUD2.TER"].size, std::optional<std::uint64_t>(0));
#endif
    EXPECT_FALSE(byName["cloud1.ter"].isFolder);
    EXPECT_TRUE(byName["bnhorizn.ter"].isFolder);
    EXPECT_EQ(byName["bnhorizn.ter"].size, std::nullopt);
    EXPECT_EQ(fs->ListFolder(temp.Join("Absent"), entries).error, FsError::NotFound);
}

#ifdef _WIN32
// A symbolic link says so in the listing, and a walk of a download enters none; other reparse
// points (OneDrive's placeholders) are the files they stand for, which Wine cannot make.
TEST(PlatformFileSystem, AListingTellsSymbolicLinks) {
    test::TempFolder temp;
    temp.MakeFolder("Set\\real");
    temp.WriteFile("Set\\cloud1.ter", "c");
    const std::string set = temp.Join("Set");
    constexpr DWORD kUnprivileged = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!CreateSymbolicLinkW(Utf8ToWide(set + "\\loop").c_str(), Utf8ToWide(temp.path()).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | kUnprivileged) ||
        !CreateSymbolicLinkW(Utf8ToWide(set + "\\cloud2.ter").c_str(),
                             Utf8ToWide(set + "\\cloud1.ter").c_str(), kUnprivileged)) {
        GTEST_SKIP() << "this system makes no symbolic link here (error " << GetLastError() << ")";
    }
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(Utf8ToWide(set + "\\loop").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
    }
    if (find == INVALID_HANDLE_VALUE ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "this system lists no symbolic link as one (Wine makes it but does not "
                        "list it); the walk past links is tested with a shaped listing";
    }
    auto fs = test::MakePlatformFileSystem();
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(fs->ListFolder(set, entries).ok());
    std::map<std::string, FolderEntry> byName;
    for (const FolderEntry& entry : entries) {
        byName[entry.name] = entry;
    }
    EXPECT_FALSE(byName["real"].isLink);
    EXPECT_FALSE(byName["cloud1.ter"].isLink);
    EXPECT_TRUE(byName["loop"].isLink);
    EXPECT_TRUE(byName["loop"].isFolder);
    EXPECT_TRUE(byName["cloud2.ter"].isLink);
}
#else
// A symbolic link says so, and what it leads to; a walk of a download enters none.
TEST(PlatformFileSystem, AListingTellsLinksFromWhatTheyLeadTo) {
    test::TempFolder temp;
    temp.MakeFolder("Set\\real");
    temp.WriteFile("Set\\cloud1.ter", "c");
    const std::string set = ToPosixPath(temp.Join("Set"));
    ASSERT_EQ(::symlink("..", (set + "/loop").c_str()), 0);
    ASSERT_EQ(::symlink("cloud1.ter", (set + "/cloud2.ter").c_str()), 0);
    ASSERT_EQ(::symlink("absent", (set + "/broken.ter").c_str()), 0);
    auto fs = test::MakePlatformFileSystem();
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(fs->ListFolder(temp.Join("Set"), entries).ok());
    std::map<std::string, FolderEntry> byName;
    for (const FolderEntry& entry : entries) {
        byName[entry.name] = entry;
    }
    ASSERT_EQ(byName.size(), 5u);
    EXPECT_FALSE(byName["real"].isLink);
    EXPECT_FALSE(byName["cloud1.ter"].isLink);
    EXPECT_TRUE(byName["loop"].isLink);
    EXPECT_TRUE(byName["loop"].isFolder);
    EXPECT_TRUE(byName["cloud2.ter"].isLink);
    EXPECT_FALSE(byName["cloud2.ter"].isFolder);
    EXPECT_TRUE(byName["broken.ter"].isLink);
}

int flushes = 0;
int CountedFlush(int fd) {
    ++flushes;
    return ::fsync(fd);
}
int FailedFlush(int) {
    errno = EIO;
    return -1;
}

// Every staged copy and every written file is on the disk before it replaces an older one.
TEST(PlatformFileSystem, EachNewFileIsFlushedBeforeItIsUsed) {
    test::TempFolder temp;
    temp.WriteFile("cloud1.ter", "new sky");
    flushes = 0;
    PosixFileSystem counted(CountedFlush);
    ASSERT_TRUE(counted.CopyToStaged(temp.Join("cloud1.ter"), temp.Join("staged")).ok());
    EXPECT_EQ(flushes, 1) << "the staged copy";
    ASSERT_TRUE(counted.WriteFlushed(temp.Join("ZT3.txt"), "Kept").ok());
    EXPECT_EQ(flushes, 2) << "the description";

    // A flush that fails is a failed copy, and nothing half-written stays.
    PosixFileSystem failing(FailedFlush);
    EXPECT_FALSE(failing.CopyToStaged(temp.Join("cloud1.ter"), temp.Join("again")).ok());
    EXPECT_FALSE(temp.Exists("again"));
    EXPECT_FALSE(failing.WriteFlushed(temp.Join("ZT4.txt"), "Kept").ok());
    EXPECT_FALSE(temp.Exists("ZT4.txt"));
}
#endif

}  // namespace
}  // namespace skyswap
