// The library lock on the real file system: one holder per folder whatever the spelling, a lock
// file left behind never blocks and is kept, one that is a link is never written, the name of the
// old mutex means nothing, and the record leads a second start to the holder's window.
#include "single_instance_win.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "text_win.h"

namespace skyswap {
namespace {

using test::TempFolder;

std::wstring Wide(const std::string& text) {
    return Utf8ToWide(text);
}

// The lock file's text, read as a second start reads it while the holder writes to it.
std::optional<std::string> ReadLockFile(const TempFolder& temp, const std::string& lockName) {
    HANDLE file = CreateFileW(Wide(temp.Join(lockName)).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    char buffer[4096];
    DWORD got = 0;
    const bool read = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE;
    CloseHandle(file);
    return read ? std::optional<std::string>(std::string(buffer, got)) : std::nullopt;
}

std::wstring ShortNameOf(const std::wstring& path) {
    wchar_t buffer[MAX_PATH]{};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// A junction at `link` to `target`, as "mklink /J" makes one. False where it cannot be made.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) {
        return false;
    }
    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    // The mount-point reparse buffer: tag, lengths, then both names with their terminators.
    std::vector<BYTE> buffer(8 + 8 + substituteBytes + printBytes + 4, 0);
    auto put16 = [&buffer](std::size_t at, USHORT value) { std::memcpy(&buffer[at], &value, 2); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.data(), &tag, 4);
    put16(4, static_cast<USHORT>(buffer.size() - 8));
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, static_cast<USHORT>(substituteBytes + 2));
    put16(14, printBytes);
    std::memcpy(&buffer[16], substitute.data(), substituteBytes);
    std::memcpy(&buffer[16 + substituteBytes + 2], target.data(), printBytes);
    DWORD returned = 0;
    const bool made =
        DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) != FALSE;
    CloseHandle(folder);
    if (!made) {
        RemoveDirectoryW(link.c_str());
    }
    return made;
}

// The name under which SkySwap used to lock a library: a mutex in the session's namespace that
// any program of the session can make first.
std::wstring PredictableMutexName(const std::wstring& library) {
    wchar_t full[MAX_PATH]{};
    const DWORD length = GetFullPathNameW(library.c_str(), MAX_PATH, full, nullptr);
    std::wstring upper(full, length);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t c : upper) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Local\\SkySwap-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

TEST(SingleInstanceLock, OneHolderPerLibraryAndTheLockGoesWithIt) {
    TempFolder temp;
    temp.MakeFolder("Sky Library");
    temp.MakeFolder("Other Library");
    const std::wstring library = Wide(temp.Join("Sky Library"));
    const std::string lockName = std::string("Sky Library\\") + kLibraryLockFileName;
    {
        SingleInstance first(library);
        ASSERT_EQ(first.state(), SingleInstance::State::Held) << first.error();
        const DWORD attributes = GetFileAttributesW(Wide(temp.Join(lockName)).c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

        SingleInstance second(library + L"\\", SingleInstance::Holder::CommandLine);
        EXPECT_EQ(second.state(), SingleInstance::State::InUse);
        EXPECT_FALSE(second.WaitToBeFirst(200));
        EXPECT_EQ(second.JudgeHolderNow(), HolderVerdict::Wait) << "its window is being made";

        SingleInstance other(Wide(temp.Join("Other Library")));
        EXPECT_TRUE(other.IsFirst()) << "another library is another lock";

        // The record names this computer, for a second start on another one.
        const std::optional<std::string> text = ReadLockFile(temp, lockName);
        ASSERT_TRUE(text.has_value());
        const std::optional<LockHolder> record = DecodeLockHolder(*text);
        ASSERT_TRUE(record.has_value()) << *text;
        wchar_t computer[256]{};
        DWORD size = 256;
        ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsHostname, computer, &size));
        EXPECT_EQ(record->computer, WideToUtf8(std::wstring(computer, size)));
        EXPECT_EQ(record->processId, GetCurrentProcessId());
    }
    // The lock goes with its holder; the file stays, hidden, without the holder's record.
    EXPECT_EQ(temp.ReadFile(lockName), std::optional<std::string>(""));
    EXPECT_TRUE(GetFileAttributesW(Wide(temp.Join(lockName)).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    SingleInstance again(library);
    EXPECT_TRUE(again.IsFirst());
}

TEST(SingleInstanceLock, EverySpellingOfTheFolderMeetsTheSameLock) {
    TempFolder temp;
    temp.MakeFolder("A Library With A Long Name");
    const std::wstring library = Wide(temp.Join("A Library With A Long Name"));
    SingleInstance holder(library);
    ASSERT_TRUE(holder.IsFirst());

    std::vector<std::pair<std::string, std::wstring>> spellings = {
        {"upper case", library.substr(0, 3) + CharUpperW(std::wstring(library.substr(3)).data())},
        {"relative with dots", library + L"\\..\\A Library With A Long Name\\."},
    };
    const std::wstring shortName = ShortNameOf(library);
    if (!shortName.empty() && shortName != library) {
        spellings.push_back({"8.3 short name", shortName});
    } else {
        ADD_FAILURE() << "no short name for " << WideToUtf8(library);
    }
    const std::wstring junction = Wide(temp.Join("Junction"));
    if (MakeJunction(junction, library)) {
        spellings.push_back({"junction", junction});
    } else {
        std::printf("[ NOTE     ] a junction cannot be made here (error %lu)\n", GetLastError());
    }
    // A drive letter of its own for the folder, as "subst" makes one.
    wchar_t drive[] = L"Q:";
    for (; drive[0] > L'F' &&
           GetDriveTypeW((drive + std::wstring(L"\\")).c_str()) != DRIVE_NO_ROOT_DIR;
         --drive[0]) {
    }
    const bool defined = DefineDosDeviceW(0, drive, library.c_str()) != FALSE;
    // Wine takes the definition but may not reach files through it.
    const bool substituted = defined && GetFileAttributesW((drive + std::wstring(L"\\")).c_str()) !=
                                            INVALID_FILE_ATTRIBUTES;
    if (substituted) {
        spellings.push_back({"subst drive", drive + std::wstring(L"\\")});
    } else {
        std::printf("[ NOTE     ] no subst drive can be made here (error %lu)\n", GetLastError());
    }
    for (const auto& [what, spelling] : spellings) {
        SingleInstance second(spelling);
        EXPECT_EQ(second.state(), SingleInstance::State::InUse) << what;
    }
    if (defined) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive, library.c_str());
    }
    RemoveDirectoryW(junction.c_str());  // the link only, before the folder is emptied
}

TEST(SingleInstanceLock, ALockLeftBehindOrASquattedNameNeverBlocks) {
    TempFolder temp;
    temp.MakeFolder("Library");
    const std::wstring library = Wide(temp.Join("Library"));
    const std::string lockName = std::string("Library\\") + kLibraryLockFileName;

    // Another program holds the name under which SkySwap used to lock this library.
    HANDLE squatted = CreateMutexW(nullptr, TRUE, PredictableMutexName(library).c_str());
    ASSERT_NE(squatted, nullptr);
    temp.WriteFile(lockName, "a lock file that a crash left, then a copy made read-only");
    temp.SetReadOnly(lockName, true);
    {
        SingleInstance lock(library);
        EXPECT_TRUE(lock.IsFirst()) << lock.error();
    }
    temp.SetReadOnly(lockName, false);
    ASSERT_TRUE(DeleteFileW(Wide(temp.Join(lockName)).c_str()));

    temp.MakeFolder(lockName);  // an empty folder of that name
    {
        SingleInstance lock(library);
        EXPECT_TRUE(lock.IsFirst()) << lock.error();
    }
    CloseHandle(squatted);

    // A folder that cannot hold the lock is no lock held by another SkySwap.
    SingleInstance missing(library + L"\\gone");
    EXPECT_EQ(missing.state(), SingleInstance::State::Unavailable);
    EXPECT_NE(missing.error(), static_cast<DWORD>(ERROR_SUCCESS));

    // A power cut leaves the file with a whole record naming a live process and its window (as
    // a reused process id would): nobody holds the file open, so it is taken at once.
    ASSERT_TRUE(DeleteFileW(Wide(temp.Join(lockName)).c_str())) << "the folder became the lock";
    HWND window = CreateWindowExW(0, L"STATIC", L"unrelated", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    LockHolder left;
    left.processId = GetCurrentProcessId();
    ProcessIdToSessionId(GetCurrentProcessId(), reinterpret_cast<DWORD*>(&left.sessionId));
    left.window = reinterpret_cast<std::uintptr_t>(window);
    temp.WriteFile(lockName, EncodeLockHolder(left));
    {
        SingleInstance lock(library);
        EXPECT_TRUE(lock.IsFirst()) << lock.error();
        const std::optional<LockHolder> record =
            DecodeLockHolder(ReadLockFile(temp, lockName).value_or(""));
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->window, 0u) << "its own record replaces the old one";
    }
    DestroyWindow(window);
}

// A program that opens the lock file as a virus scanner or a backup does.
HANDLE OpenAsAScanner(const std::wstring& lockPath, DWORD sharing) {
    return CreateFileW(lockPath.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(SingleInstanceLock, AScannerHoldingTheLockFileNeverLetsTwoSkySwapsIn) {
    TempFolder temp;
    temp.MakeFolder("Library");
    const std::wstring library = Wide(temp.Join("Library"));
    const std::wstring lockPath = Wide(temp.Join(std::string("Library\\") + kLibraryLockFileName));

    // A scanner that shares everything reads the file just as its holder ends: the next start
    // finds a file to take, not one to wait for the deletion of.
    auto first = std::make_unique<SingleInstance>(library);
    ASSERT_TRUE(first->IsFirst());
    HANDLE sharing =
        OpenAsAScanner(lockPath, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
    first.reset();
    {
        SingleInstance next(library);
        EXPECT_EQ(next.state(), SingleInstance::State::Held) << next.error();
        SingleInstance third(library);
        EXPECT_EQ(third.state(), SingleInstance::State::InUse) << "still one holder";
    }
    CloseHandle(sharing);

    // One that shares no writing holds the lock as a SkySwap would: a second start waits for it,
    // says so, and takes the library once it lets go.
    HANDLE exclusive = OpenAsAScanner(lockPath, FILE_SHARE_READ);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    SingleInstance waiting(library);
    EXPECT_EQ(waiting.state(), SingleInstance::State::InUse);
    EXPECT_EQ(waiting.ActivateHolder(200), HolderVerdict::LockFileBusy);
    CloseHandle(exclusive);
    EXPECT_EQ(waiting.ActivateHolder(3000), HolderVerdict::Taken);
    EXPECT_TRUE(waiting.IsFirst());
}

TEST(SingleInstanceLock, ALockFileThatIsALinkOrAFolderIsRefusedAndNothingIsWrittenThrough) {
    TempFolder temp;
    temp.MakeFolder("Library");
    const std::wstring library = Wide(temp.Join("Library"));
    const std::string lockName = std::string("Library\\") + kLibraryLockFileName;
    const std::string precious = "the player's own file, outside the library";
    temp.WriteFile("elsewhere.txt", precious);
    const std::wstring target = Wide(temp.Join("elsewhere.txt"));

    ASSERT_TRUE(CreateHardLinkW(Wide(temp.Join(lockName)).c_str(), target.c_str(), nullptr));
    {
        SingleInstance lock(library);
        EXPECT_EQ(lock.state(), SingleInstance::State::Refused);
        EXPECT_EQ(lock.refusal(), LockRefusal::HardLinked);
        EXPECT_FALSE(lock.WaitToBeFirst(200));
        lock.MarkWindow(GetDesktopWindow());
        SingleInstance commandLine(library, SingleInstance::Holder::CommandLine);
        EXPECT_EQ(commandLine.state(), SingleInstance::State::Refused);
    }
    EXPECT_EQ(temp.ReadFile("elsewhere.txt"), std::optional<std::string>(precious));
    EXPECT_TRUE(temp.Exists(lockName)) << "the link is left for the player to see";
    ASSERT_TRUE(DeleteFileW(Wide(temp.Join(lockName)).c_str()));

    // A symbolic link, where one can be made (Wine makes none that is a reparse point).
    if (CreateSymbolicLinkW(Wide(temp.Join(lockName)).c_str(), target.c_str(), 0) &&
        (GetFileAttributesW(Wide(temp.Join(lockName)).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) &&
        GetFileAttributesW(Wide(temp.Join(lockName)).c_str()) != INVALID_FILE_ATTRIBUTES) {
        {
            SingleInstance lock(library);
            EXPECT_EQ(lock.state(), SingleInstance::State::Refused);
            EXPECT_EQ(lock.refusal(), LockRefusal::Link);
        }
        EXPECT_EQ(temp.ReadFile("elsewhere.txt"), std::optional<std::string>(precious));
    } else {
        std::printf("[ NOTE     ] no symbolic link can be made here (error %lu)\n", GetLastError());
    }
    DeleteFileW(Wide(temp.Join(lockName)).c_str());

    // A folder with something in it holds the name: refused at once, not waited for.
    temp.MakeFolder(lockName);
    temp.WriteFile(lockName + "\\note.txt", "kept");
    SingleInstance lock(library);
    EXPECT_EQ(lock.state(), SingleInstance::State::Refused);
    EXPECT_EQ(lock.refusal(), LockRefusal::Folder);
    EXPECT_EQ(temp.ReadFile(lockName + "\\note.txt"), std::optional<std::string>("kept"));
}

TEST(SingleInstanceLock, TheRecordLeadsASecondStartToTheHoldersWindowOnly) {
    TempFolder temp;
    temp.MakeFolder("Library");
    const std::wstring library = Wide(temp.Join("Library"));
    HWND window = CreateWindowExW(0, L"STATIC", L"holder", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        SingleInstance holder(library);
        ASSERT_TRUE(holder.IsFirst());
        EXPECT_EQ(SingleInstance::FindHolderWindow(library), nullptr) << "no window yet";
        holder.MarkWindow(window);
        EXPECT_EQ(SingleInstance::FindHolderWindow(library), window);
        EXPECT_EQ(SingleInstance::FindHolderWindow(library + L"\\..\\Library"), window);

        SingleInstance second(library);
        ASSERT_EQ(second.state(), SingleInstance::State::InUse);
        EXPECT_EQ(second.ActivateHolder(3000), HolderVerdict::BringToFront);
        EXPECT_EQ(GetForegroundWindow(), window);

        // Where no lock can be had, the window is found by the folder's identity, whatever the
        // spelling; another folder's window is not.
        SetForegroundWindow(GetDesktopWindow());
        const std::wstring shortName = ShortNameOf(library + L"\\..\\Library");
        EXPECT_TRUE(SingleInstance(shortName.empty() ? library : shortName)
                        .ActivateWindowOfTheSameFolder());
        EXPECT_EQ(GetForegroundWindow(), window);
        temp.MakeFolder("Other");
        EXPECT_FALSE(SingleInstance(Wide(temp.Join("Other"))).ActivateWindowOfTheSameFolder());

        // Once the window is gone its handle names nothing of the holder's.
        DestroyWindow(window);
        EXPECT_EQ(SingleInstance::FindHolderWindow(library), nullptr);
        EXPECT_EQ(second.ActivateHolder(200), HolderVerdict::NoWindow);
    }
    SingleInstance third(library);
    EXPECT_TRUE(third.IsFirst());
}

TEST(SingleInstanceLock, ACommandLineHolderIsNamedAndTheLockIsTakenOnceItEnds) {
    TempFolder temp;
    temp.MakeFolder("Library");
    const std::wstring library = Wide(temp.Join("Library"));
    auto holder = std::make_unique<SingleInstance>(library, SingleInstance::Holder::CommandLine);
    ASSERT_TRUE(holder->IsFirst());
    SingleInstance second(library);
    EXPECT_EQ(second.JudgeHolderNow(), HolderVerdict::CommandLineRun);
    EXPECT_EQ(second.ActivateHolder(3000), HolderVerdict::CommandLineRun);
    EXPECT_EQ(SingleInstance::FindHolderWindow(library), nullptr);
    holder.reset();
    EXPECT_EQ(second.ActivateHolder(3000), HolderVerdict::Taken);
    EXPECT_TRUE(second.IsFirst());
}

}  // namespace
}  // namespace skyswap
