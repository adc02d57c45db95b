// The program and the DLLs it loads: an elevated SkySwap may run from a folder the user can write
// to, so nothing it loads may come from beside the .exe.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// The DLLs Windows always loads from System32 (the KnownDLLs of Windows 10 and 11, and ntdll,
// which every process has), whatever lies beside a program.
const char* const kKnownDlls[] = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",    "difxapi.dll",
    "gdi32.dll",    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll", "msctf.dll",
    "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ntdll.dll",    "ole32.dll",    "oleaut32.dll",
    "psapi.dll",    "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shcore.dll",   "shell32.dll",
    "shlwapi.dll",  "user32.dll",   "wldap32.dll",  "ws2_32.dll",
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool LoadedFromSystemOnly(const std::string& dll) {
    const std::string name = Lower(dll);
    // API sets are names that Windows itself resolves, never files.
    if (name.rfind("api-ms-win-", 0) == 0 || name.rfind("ext-ms-win-", 0) == 0) {
        return true;
    }
    return std::find(std::begin(kKnownDlls), std::end(kKnownDlls), name) != std::end(kKnownDlls);
}

// The DLL names in a 64-bit program's import and delay-import directories, read from the file.
std::vector<std::string> ImportedDlls(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const auto at = [&](std::size_t offset, auto& value) {
        if (offset + sizeof(value) > image.size()) {
            throw std::runtime_error("the program's file ends early");
        }
        std::memcpy(&value, image.data() + offset, sizeof(value));
    };
    IMAGE_DOS_HEADER dos{};
    at(0, dos);
    IMAGE_NT_HEADERS64 nt{};
    at(static_cast<std::size_t>(dos.e_lfanew), nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        throw std::runtime_error("not a 64-bit Windows program");
    }
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    const std::size_t sectionTable = static_cast<std::size_t>(dos.e_lfanew) +
                                     offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                     nt.FileHeader.SizeOfOptionalHeader;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        at(sectionTable + i * sizeof(IMAGE_SECTION_HEADER), sections[i]);
    }
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.Misc.VirtualSize) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        throw std::runtime_error("an address outside every section");
    };
    const auto name = [&](DWORD rva) {
        const std::size_t offset = fileOffset(rva);
        return std::string(image.c_str() + offset,
                           strnlen(image.c_str() + offset, image.size() - offset));
    };
    std::vector<std::string> dlls;
    const IMAGE_DATA_DIRECTORY& imports =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD rva = imports.VirtualAddress; imports.Size != 0;
         rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        at(fileOffset(rva), entry);
        if (entry.Name == 0) {
            break;
        }
        dlls.push_back(name(entry.Name));
    }
    const IMAGE_DATA_DIRECTORY& delayed =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    for (DWORD rva = delayed.VirtualAddress; delayed.Size != 0;
         rva += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
        IMAGE_DELAYLOAD_DESCRIPTOR entry{};
        at(fileOffset(rva), entry);
        if (entry.DllNameRVA == 0) {
            break;
        }
        dlls.push_back(name(entry.DllNameRVA));
    }
    return dlls;
}

TEST(ProgramDlls, TheImportTableNamesOnlyDllsThatWindowsLoadsFromSystem32) {
    for (const char* program : {SKYSWAP_EXE_PATH, SKYSWAP_COM_PATH}) {
        SCOPED_TRACE(program);
        const std::vector<std::string> dlls = ImportedDlls(HostPath(program));
        ASSERT_FALSE(dlls.empty()) << "no import directory read";
        EXPECT_NE(std::find_if(dlls.begin(), dlls.end(),
                               [](const std::string& dll) { return Lower(dll) == "kernel32.dll"; }),
                  dlls.end());
        for (const std::string& dll : dlls) {
            EXPECT_TRUE(LoadedFromSystemOnly(dll))
                << dll << " is no KnownDLL: Windows would load a copy beside the program first";
        }
    }
}

// Wine takes its own copy of a system DLL before one beside the program unless told otherwise;
// told so for skyswap.exe, it searches as Windows does for a DLL that is no KnownDLL. Nothing is
// written on Windows.
class WineLoadsDllsAsWindowsDoes {
  public:
    explicit WineLoadsDllsAsWindowsDoes(const std::vector<std::string>& dlls) {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
            return;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        written_ = true;
        const std::wstring order = L"native,builtin";
        for (const std::string& dll : dlls) {
            const std::wstring name = Utf8ToWide(dll.substr(0, dll.find('.')));
            RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(order.c_str()),
                           static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }
    ~WineLoadsDllsAsWindowsDoes() {
        if (written_) {
            RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\skyswap.exe");
        }
    }
    WineLoadsDllsAsWindowsDoes(const WineLoadsDllsAsWindowsDoes&) = delete;
    WineLoadsDllsAsWindowsDoes& operator=(const WineLoadsDllsAsWindowsDoes&) = delete;

  private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\skyswap.exe\\DllOverrides";
    bool written_ = false;
};

TEST(ProgramDlls, ADllPlantedBesideTheProgramIsNotLoaded) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    temp.MakeFolder("Program");
    const std::wstring program = Utf8ToWide(temp.Join("Program\\skyswap.exe"));
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)).c_str(), program.c_str(), FALSE));
    const std::vector<std::string> planted = {"oleacc.dll", "uxtheme.dll", "comctl32.dll"};
    for (const std::string& dll : planted) {
        ASSERT_TRUE(CopyFileW(Utf8ToWide(HostPath(PLANTED_DLL_PATH)).c_str(),
                              Utf8ToWide(temp.Join("Program\\" + dll)).c_str(), FALSE));
    }

    WineLoadsDllsAsWindowsDoes loadOrder(planted);
    std::wstring commandLine = L"\"" + program + L"\"";
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, library.c_str(), &startup, &process));

    // The window, and a screen reader asking one of its pictures for its name.
    const HWND window = FindProcessWindow(process.dwProcessId, L"SkySwapMainWindow");
    std::wstring name;
    if (window != nullptr) {
        const HWND area = FindProcessWindow(process.dwProcessId, L"SkySwapImageGrid", window);
        IAccessible* object = nullptr;
        if (area != nullptr && SUCCEEDED(AccessibleObjectFromWindow(
                                   area, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&object)))) {
            VARIANT slot{};
            slot.vt = VT_I4;
            slot.lVal = 1;  // the first slot
            BSTR text = nullptr;
            if (SUCCEEDED(object->get_accName(slot, &text)) && text != nullptr) {
                name.assign(text, SysStringLen(text));
            }
            SysFreeString(text);
            object->Release();
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    AwaitEnd(process);

    EXPECT_NE(window, nullptr) << "the window never opened";
    EXPECT_FALSE(name.empty()) << "the screen reader's object was not made";
    for (const std::string& dll : planted) {
        EXPECT_FALSE(temp.Exists("Program\\" + dll + ".loaded"))
            << "the " << dll << " beside the program was loaded";
    }
}

}  // namespace
}  // namespace skyswap::test
