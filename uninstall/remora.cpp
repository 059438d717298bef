// remora.dll, the uninstaller shared by every product of the maker. The uninstall string of each product
// starts it through rundll32 with the product's name; it asks the user, undoes the installation through
// the product's uninstall log with the setup library, and reports the outcome in the user's language.
#include "remora_text.h"
#include "sl_main.h"
#include "sl_rapi_api.h"
#include "mem_manager.h"
#include "tl_language.h"

namespace {

HMODULE g_module;

const DWORD kMaxMessage = 1024;

// The localized text `id` with every "%1" replaced by `name`, cut to the buffer; empty when missing.
void LoadMessage(UINT id, const WCHAR* name, WCHAR* out, DWORD capacity) {
    DWORD n = 0;
    const WCHAR* counted = LoadStringResource(id + GetLanguageIndex());
    if (!counted) counted = LoadStringResource(id);
    if (counted) {
        DWORD length = counted[0];
        const WCHAR* text = counted + 1;
        for (DWORD i = 0; i < length && n + 1 < capacity; ++i) {
            if (text[i] == '%' && i + 1 < length && text[i + 1] == '1') {
                for (const WCHAR* p = name; *p && n + 1 < capacity; ++p) out[n++] = *p;
                ++i;
            } else {
                out[n++] = text[i];
            }
        }
    }
    out[n] = 0;
}

int Ask(HWND owner, UINT id, const WCHAR* name, UINT style) {
    WCHAR title[kMaxMessage], text[kMaxMessage];
    LoadMessage(IDS_REMORA_TITLE, name, title, kMaxMessage);
    LoadMessage(id, name, text, kMaxMessage);
    return MessageBoxW(owner, text, title, style | MB_SETFOREGROUND);
}

// The application name from rundll32's command line: the rest of the line, without surrounding blanks
// or quotes.
string ApplicationName(LPCSTR commandLine) {
    if (!commandLine) return string();
    string name(commandLine);
    name = name.Trim();
    if (name.GetLength() >= 2 && name[0] == '"' && name[name.GetLength() - 1] == '"')
        name = name.Mid(1, name.GetLength() - 2);
    return name;
}

// This library serves every product of the maker and is loaded while it runs, so it cannot delete itself
// now. When no other product's uninstall log remains in the maker folder it schedules its own file and
// then the folder for removal at the next restart; the folder goes only if it is empty by then. While
// another product's log is there, both stay for that product's uninstall.
void RemoveSharedUninstallerIfUnused(const string& makerFolder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((makerFolder + "\\Uninstall Log for *.txt").Psz8(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        bool another = false;
        do {
            // Only names that really end in ".txt": a log being saved ends in ".txt.new" and belongs to a
            // product being installed right now.
            string name(found.cFileName);
            DWORD length = name.GetLength();
            if (length > 4 && name.Mid(length - 4).CompareNoCase(".txt") == 0) another = true;
        } while (!another && FindNextFileA(search, &found));
        FindClose(search);
        if (another) return;
    }
    MoveFileExA((makerFolder + "\\remora.dll").Psz8(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(makerFolder.Psz8(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// rundll32's entry: the command line is the name of the product to remove.
extern "C" __declspec(dllexport) void CALLBACK Uninstall(HWND window, HINSTANCE, LPSTR commandLine, int) {
    SetResourceModule(g_module);
    // Unnamed, so that nothing is written to the language values the uninstall is about to remove; the
    // product's own stored choice then picks the language.
    InitLanguages(string(), 1);
    string name = ApplicationName(commandLine);
    LANGID language = name.IsEmpty() ? kLangUnknown : GetAppLanguage(name);
    if (language != kLangUnknown) SetLanguage(language);
    WCHAR* wideName = name.Dup16();
    const WCHAR* shown = wideName ? wideName : L"";
    if (name.IsEmpty()) {
        Ask(window, IDS_REMORA_NO_NAME, shown, MB_OK | MB_ICONERROR);
    } else if (Ask(window, IDS_REMORA_CONFIRM, shown, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        bool removed;
        {
            SetupLib library(0);
            removed = library.Uninstall(FALSE, name);
            if (removed) RemoveSharedUninstallerIfUnused(library.DesktopToolkit()->GetFolder(kFolderMaker));
        }
        Ask(window, removed ? IDS_REMORA_DONE : IDS_REMORA_FAILED, shown,
            MB_OK | (removed ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    if (wideName) MEMFREE(wideName);
}

// The uninstaller's generation, as the installer asks it before replacing an installed one: "2", in the
// shape of a remote call.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetUninstallVersion(DWORD, BYTE* pInput, DWORD* pcbOutput, BYTE** ppOutput, IRAPIStream*) {
    // The called function owns its input.
    if (pInput) LocalFree(pInput);
    static const WCHAR answer[] = L"2";
    *ppOutput = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, sizeof(answer)));
    if (!*ppOutput) return E_OUTOFMEMORY;
    CopyMemory(*ppOutput, answer, sizeof(answer));
    *pcbOutput = sizeof(answer);
    return S_OK;
}
