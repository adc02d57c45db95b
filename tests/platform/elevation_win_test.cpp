// What a drive letter stands for, as this logon session has it: a restart as administrator runs
// in another logon session, which sees none of this one's subst drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "elevation_win.h"
#include "support/test_support.h"
#include "text_win.h"

namespace skyswap {
namespace {

// A drive letter no drive has, or 0.
wchar_t FreeDriveLetter() {
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'P'; letter <= L'Y'; ++letter) {
        if ((used & (1u << (letter - L'A'))) == 0) {
            return letter;
        }
    }
    return 0;
}

TEST(ElevationWin, SubstDrivesAreSpelledByTheFolderTheyStandFor) {
    test::TempFolder temp;
    temp.MakeFolder("EAW\\Skies");
    const wchar_t letter = FreeDriveLetter();
    ASSERT_NE(letter, 0);
    const std::wstring drive = {letter, L':'};
    // What subst does: a DOS device in this logon session naming a folder.
    ASSERT_TRUE(DefineDosDeviceW(0, drive.c_str(), Utf8ToWide(temp.path()).c_str()))
        << GetLastError();
    struct Undefine {
        std::wstring drive, target;
        bool defined = true;
        void operator()() {
            if (std::exchange(defined, false)) {
                DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive.c_str(),
                                 target.c_str());
            }
        }
        ~Undefine() { (*this)(); }
    } undefine{drive, Utf8ToWide(temp.path())};

    const char driveLetter = static_cast<char>(letter);
    const DriveMapping mapping = WindowsDriveMapping(driveLetter);
    EXPECT_EQ(mapping.kind, DriveMapping::Kind::Substituted);
    EXPECT_EQ(mapping.target, temp.path());
    const std::string onDrive = std::string(1, driveLetter) + ":\\EAW\\Skies";
    EXPECT_EQ(PathSeenWhenElevated(onDrive, WindowsDriveMapping).value_or("(none)"),
              temp.Join("EAW\\Skies"));

    // The system drive is a volume of its own; a letter that names nothing cannot be spelled.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(WindowsDriveMapping(static_cast<char>(system[0])).kind, DriveMapping::Kind::Volume);
    const std::string windows = WideToUtf8(system);
    EXPECT_EQ(PathSeenWhenElevated(windows, WindowsDriveMapping).value_or("(none)"), windows);
    undefine();
    EXPECT_EQ(WindowsDriveMapping(driveLetter).kind, DriveMapping::Kind::Unknown);
}

}  // namespace
}  // namespace skyswap
