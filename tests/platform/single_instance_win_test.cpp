// The library lock on the real file system: one holder per folder whatever the spelling, a lock
// left behind never blocks, the name of the old mutex means nothing, and the record leads a
// second start to the holder's window.
#include "single_instance_win.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cstring>
#include <memory>
#include <vector>

#include "support/test_support.h"
#include "text_win.h"

namespace skyswap {
namespace {

using test::TempFolder;

std::wstring Wide(const std::string& text) {
    return Utf8ToWide(text);
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
    }
    EXPECT_FALSE(temp.Exists(lockName)) << "the lock goes with its holder";
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
    EXPECT_FALSE(temp.Exists(lockName));

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
