/* A stand-in for the game that /play starts: it writes the folder it was started in (UTF-16)
   into "played.txt" beside itself, and ends. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
    (void)instance;
    (void)previous;
    (void)line;
    (void)show;
    wchar_t path[MAX_PATH + 16];
    wchar_t folder[MAX_PATH];
    const DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || folderLength == 0 || folderLength >= MAX_PATH) {
        return 1;
    }
    wchar_t* name = path + length;
    while (name > path && name[-1] != L'\\') {
        --name;
    }
    lstrcpyW(name, L"played.txt");
    /* Written under another name and renamed, so the test never reads half of it. */
    wchar_t staged[MAX_PATH + 16];
    lstrcpyW(staged, path);
    lstrcatW(staged, L".new");
    HANDLE file = CreateFileW(staged, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, folder, folderLength * sizeof(wchar_t), &written, NULL);
    CloseHandle(file);
    return MoveFileExW(staged, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
