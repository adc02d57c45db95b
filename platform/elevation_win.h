// Restarting SkySwap with administrator rights, and the arguments such a restart carries.
#pragma once

#include <windows.h>

#include <string>

#include "network_share.h"
#include "restart_arguments.h"

namespace skyswap {

// A program to start through the shell: with the verb "runas" Windows asks the user for
// administrator rights first.
struct RestartRequest {
    HWND owner = nullptr;  // the window Windows' own prompt belongs to
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring folder;  // the working folder
};

// Starts the program through ShellExecuteExW and returns once it has started: ERROR_SUCCESS,
// ERROR_CANCELLED when the user declined Windows' prompt, or the system's error code.
unsigned long StartThroughShell(const RestartRequest& request);

// True when this process runs with administrator rights (an elevated token).
bool ProcessIsElevated();

// True where Windows keeps programs of a lower integrity level from sending messages to an
// elevated window (User Interface Privilege Isolation). Wine runs every program with an
// administrator's token and keeps none apart, so there an elevated window is no target.
bool IntegrityLevelsKeepProgramsApart();

// What GetDriveTypeW says of a drive's root.
DriveKind WindowsDriveKind(const std::string& root);

// What Windows says drive `drive` (an upper-case letter) stands for in this logon session:
// QueryDosDeviceW's "\??\<folder>" for a subst drive, WNetGetConnectionW's share for a mapped
// one, a device of its own for every other drive.
DriveMapping WindowsDriveMapping(char drive);

// True when `folder` lies on a network share (a UNC path or a mapped drive), where administrator
// rights cannot help.
bool FolderOnNetworkShare(const std::string& folder);

// The full path of this program's .exe.
std::wstring ThisProgramPath();

}  // namespace skyswap
