// The process-wide language state, the choice kept in the registry and the
// loaders of localized strings, dialogs and fonts.
#include "tl_language.h"

#include "tl_string.h"

namespace {

const DWORD kMaxText = kMaxLanguageText;
const DWORD kNotFound = string::npos;

// One instance for the process, never freed. Until something initialises
// it the program is English only.
struct LanguageState {
    bool initialized;
    WCHAR appName[kMaxText + 1];
    WCHAR list[kMaxText + 1];
    LANGID language;
    DWORD index;
    DWORD count;
    HMODULE module;
};

LanguageState g_state = {false, {0}, {'E', 'N', 0}, kLangEnglish, 0, 1, nullptr};

struct CodeName {
    const char* code;
    LANGID language;
};

const CodeName kCodes[] = {
    {"EO", kLangEsperanto}, {"EN", kLangEnglish}, {"FR", 1036}, {"DE", 1031}, {"ES", 1034},
};

// Shared by every program of the family, so that the installer and the game
// agree on the language.
const TCHAR kNlsKey[] = TEXT("Software\\Tessel\\NLS");
const WCHAR kListPrefix[] = L"Opt-";
const WCHAR kChoicePrefix[] = L"Lang-";

void EnsureInitialized() {
    if (!g_state.initialized) InitLanguages(string(), 1);
}

// Entries are the runs between commas; a run of commas is one separator, so
// an empty entry only exists beyond the last one.
bool ListEntry(const WCHAR* list, DWORD n, WCHAR* code, DWORD capacity) {
    DWORD i = 0, entry = 0;
    while (list[i]) {
        while (list[i] == ',') ++i;
        if (!list[i]) break;
        DWORD begin = i;
        while (list[i] && list[i] != ',') ++i;
        if (entry++ == n) {
            DWORD length = i - begin < capacity - 1 ? i - begin : capacity - 1;
            for (DWORD k = 0; k < length; ++k) code[k] = list[begin + k];
            code[length] = 0;
            return true;
        }
    }
    code[0] = 0;
    return false;
}

DWORD CountEntries(const WCHAR* list) {
    WCHAR code[kMaxText + 1];
    DWORD n = 0;
    while (ListEntry(list, n, code, kMaxText + 1)) ++n;
    return n;
}

// Position of the first entry with that identifier, or kNotFound. Entries
// with codes nobody knows are never found: they cannot be made current.
DWORD FindLanguage(const WCHAR* list, LANGID language) {
    if (language == kLangUnknown) return kNotFound;
    WCHAR code[kMaxText + 1];
    for (DWORD n = 0; ListEntry(list, n, code, kMaxText + 1); ++n)
        if (LanguageCodeToId(istring(code)) == language) return n;
    return kNotFound;
}

// Position of the first entry with a known code, or kNotFound.
DWORD FirstKnownLanguage(const WCHAR* list) {
    WCHAR code[kMaxText + 1];
    for (DWORD n = 0; ListEntry(list, n, code, kMaxText + 1); ++n)
        if (LanguageCodeToId(istring(code)) != kLangUnknown) return n;
    return kNotFound;
}

void CopyCounted(WCHAR* dst, const WCHAR* counted) {
    DWORD length = counted ? counted[0] : 0;
    if (length > kMaxText) length = kMaxText;
    for (DWORD i = 0; i < length; ++i) dst[i] = counted[1 + i];
    dst[length] = 0;
}

// Names that do not fit are refused rather than cut: a cut name could be
// another program's.
bool FitsName(const string& name) { return !name.IsEmpty() && strlen16(name.Psz16()) <= kMaxText; }

// Registry value names compare without case, so program names do too.
bool IsOwnApp(const string& app) {
    return app.IsEmpty() || (g_state.appName[0] && stricmp16(app.Psz16(), g_state.appName) == 0);
}

// Fills value (kMaxText + 1 characters) from the shared key. A missing key or
// value, a value that is not text and one too long to be a list or code all
// read as empty.
void ReadValue(const WCHAR* prefix, const WCHAR* app, WCHAR* value) {
    value[0] = 0;
    HKEY key;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kNlsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    string name(prefix);
    name += app;
    // One character more than a value may hold, plus room for a terminator
    // the stored data may lack.
    TCHAR data[kMaxText + 2];
    DWORD type = 0, size = (kMaxText + 1) * sizeof(TCHAR);
    LONG result = RegQueryValueEx(key, name.Psz(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return;
    data[size / sizeof(TCHAR)] = 0;
    if (tstrlen(data) > kMaxText) return;
    string text(data);
    const WCHAR* wide = text.Psz16();
    if (strlen16(wide) <= kMaxText) strcpy16(value, wide);
}

// Writes the text with its terminator. Failures are ignored: a program that
// may not write the key still runs, in its first language.
void WriteValue(const WCHAR* prefix, const WCHAR* app, const WCHAR* value) {
    HKEY key;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kNlsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    string name(prefix);
    name += app;
    string text(value);
    const TCHAR* data = text.Psz();
    RegSetValueEx(key, name.Psz(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                  (tstrlen(data) + 1) * sizeof(TCHAR));
    RegCloseKey(key);
}

void MakeCurrent(DWORD index) {
    WCHAR code[kMaxText + 1];
    ListEntry(g_state.list, index, code, kMaxText + 1);
    g_state.index = index;
    g_state.language = LanguageCodeToId(istring(code));
    DWORD count = CountEntries(g_state.list);
    g_state.count = count ? count : 1;
    if (g_state.appName[0]) WriteValue(kChoicePrefix, g_state.appName, code);
}

WORD LocalizedDialogId(UINT id) { return static_cast<WORD>(id + GetLanguageIndex()); }

bool IsStyleLetters(const TCHAR* part, DWORD length) {
    for (DWORD i = 0; i < length; ++i) {
        TCHAR c = part[i];
        if (c != 'B' && c != 'b' && c != 'I' && c != 'i' && c != 'U' && c != 'u') return false;
    }
    return length > 0;
}

// A part made of an optional sign and digits; the value is kept within what
// a font height can be.
bool ParseSize(const TCHAR* part, DWORD length, LONG* size) {
    DWORD i = 0;
    bool negative = false;
    if (i < length && (part[i] == '-' || part[i] == '+')) negative = part[i++] == '-';
    if (i == length) return false;
    LONG value = 0;
    for (; i < length; ++i) {
        if (part[i] < '0' || part[i] > '9') return false;
        value = value * 10 + (part[i] - '0');
        if (value > 0x7FFF) value = 0x7FFF;
    }
    *size = negative ? -value : value;
    return true;
}

bool EndsWithEo(const TCHAR* face) {
    int length = lstrlen(face);
    return length >= 3 && lstrcmpi(face + length - 3, TEXT(" Eo")) == 0;
}

} // namespace

// A name that does not fit is dropped and the program runs unnamed: nothing
// is stored. An unnamed program does not read a choice either: a value
// "Lang-" alone belongs to no program.
void InitLanguages(const string& name, UINT listId) {
    if (g_state.initialized && name.IsEmpty()) return;
    // Set first: the string work below asks for the language again.
    g_state.initialized = true;
    bool named = false;
    if (!name.IsEmpty()) {
        named = FitsName(name);
        if (named)
            strcpy16(g_state.appName, name.Psz16());
        else
            g_state.appName[0] = 0;
    }

    const WCHAR* counted = LoadStringResource(listId);
    if (counted)
        CopyCounted(g_state.list, counted);
    else
        strcpy16(g_state.list, L"EN");
    if (named) WriteValue(kListPrefix, g_state.appName, g_state.list);

    DWORD index = kNotFound;
    if (named) {
        WCHAR stored[kMaxText + 1];
        ReadValue(kChoicePrefix, g_state.appName, stored);
        if (stored[0]) index = FindLanguage(g_state.list, LanguageCodeToId(istring(stored)));
    }
    // Without a (usable) choice the first language is taken; codes nobody
    // knows are passed over so that an unknown language never becomes current.
    if (index == kNotFound) index = FirstKnownLanguage(g_state.list);

    if (index != kNotFound) {
        MakeCurrent(index);
    } else {
        g_state.index = 0;
        g_state.language = kLangEnglish;
        DWORD count = CountEntries(g_state.list);
        g_state.count = count ? count : 1;
    }
}

LANGID GetLanguage() {
    EnsureInitialized();
    return g_state.language;
}

DWORD GetLanguageIndex() {
    EnsureInitialized();
    return g_state.index;
}

DWORD GetLanguageCount() {
    EnsureInitialized();
    return g_state.count;
}

void SetLanguage(LANGID language) {
    EnsureInitialized();
    DWORD index = FindLanguage(g_state.list, language);
    if (index != kNotFound) MakeCurrent(index);
}

void SetAppLanguage(const string& app, LANGID language) {
    if (IsOwnApp(app)) {
        SetLanguage(language);
        return;
    }
    if (!FitsName(app)) return;
    WCHAR list[kMaxText + 1];
    ReadValue(kListPrefix, app.Psz16(), list);
    DWORD index = FindLanguage(list, language);
    if (index == kNotFound) return;
    WCHAR code[kMaxText + 1];
    ListEntry(list, index, code, kMaxText + 1);
    WriteValue(kChoicePrefix, app.Psz16(), code);
}

LANGID GetAppLanguage(const string& app) {
    if (IsOwnApp(app)) return GetLanguage();
    if (!FitsName(app)) return kLangUnknown;
    WCHAR code[kMaxText + 1];
    ReadValue(kChoicePrefix, app.Psz16(), code);
    return LanguageCodeToId(istring(code));
}

// The program's own list is the one in memory, which is what it stored.
LANGID GetAppLanguageOption(const string& app, DWORD n) {
    WCHAR list[kMaxText + 1];
    if (IsOwnApp(app)) {
        EnsureInitialized();
        strcpy16(list, g_state.list);
    } else if (FitsName(app)) {
        ReadValue(kListPrefix, app.Psz16(), list);
    } else {
        return kLangUnknown;
    }
    WCHAR code[kMaxText + 1];
    if (!ListEntry(list, n, code, kMaxText + 1)) return kLangUnknown;
    return LanguageCodeToId(istring(code));
}

LANGID LanguageCodeToId(const istring& code) {
    for (const CodeName& known : kCodes)
        if (code == known.code) return known.language;
    return kLangUnknown;
}

HMODULE GetResourceModule() { return g_state.module ? g_state.module : GetModuleHandle(nullptr); }

void SetResourceModule(HMODULE module) { g_state.module = module; }

// A string table block holds sixteen counted entries; the walk stays inside
// the resource's size whatever the block holds.
const WCHAR* LoadStringResource(UINT id) {
    if (id > 0xFFFF) return nullptr;
    HMODULE module = GetResourceModule();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6));
    if (!info) return nullptr;
    HGLOBAL loaded = LoadResource(module, info);
    const WCHAR* block = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!block) return nullptr;
    DWORD units = SizeofResource(module, info) / sizeof(WCHAR);
    DWORD at = 0;
    for (UINT entry = 0; entry < id % 16; ++entry) {
        if (at >= units) return nullptr;
        at += 1 + block[at];
    }
    if (at >= units || block[at] == 0 || block[at] > units - at - 1) return nullptr;
    return block + at;
}

void AppendLocalizedString(string& text, UINT id) {
    DWORD stride = GetLanguageCount();
    DWORD next = id + GetLanguageIndex();
    const WCHAR* piece = LoadStringResource(next);
    if (!piece) return;
    text.Put(text.GetLength(), piece + 1, 0, piece[0]);
    while (text.GetLength() > 0 && text[text.GetLength() - 1] == '+') {
        text.GetBuffer(0)[text.GetLength() - 1] = 0;
        text.UpdateLength();
        next += stride;
        piece = LoadStringResource(next);
        if (!piece) break;
        text.Put(text.GetLength(), piece + 1, 0, piece[0]);
    }
}

const DLGTEMPLATE* FindLocalizedDialog(UINT id, HINSTANCE* module) {
    if (module) *module = nullptr;
    HMODULE source = GetResourceModule();
    HRSRC info = FindResource(source, MAKEINTRESOURCE(LocalizedDialogId(id)), RT_DIALOG);
    if (!info) return nullptr;
    HGLOBAL loaded = LoadResource(source, info);
    const DLGTEMPLATE* dialog = loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
    if (dialog && module) *module = source;
    return dialog;
}

#ifdef UNICODE

HWND CreateLocalizedDialog(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    HINSTANCE module;
    const DLGTEMPLATE* dialog = FindLocalizedDialog(id, &module);
    if (!dialog) return nullptr;
    return CreateDialogIndirectParamW(module, dialog, parent, procedure, parameter);
}

INT_PTR LocalizedDialogBox(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    HINSTANCE module;
    const DLGTEMPLATE* dialog = FindLocalizedDialog(id, &module);
    if (!dialog) return -1;
    return DialogBoxIndirectParamW(module, dialog, parent, procedure, parameter);
}

#else

namespace {

// Systems without 16-bit windows refuse to create one; the answer does not
// change while the program runs, so the probe is made once.
bool SystemTakesWideWindows() {
    static int answer = -1;
    if (answer < 0) {
        HWND probe = CreateWindowExW(0, L"static", L"unicode test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandle(nullptr), nullptr);
        answer = probe ? 1 : 0;
        if (probe) DestroyWindow(probe);
    }
    return answer == 1;
}

} // namespace

HWND CreateLocalizedDialog(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    WORD dialog = LocalizedDialogId(id);
    HMODULE module = GetResourceModule();
    if (SystemTakesWideWindows())
        return CreateDialogParamW(module, MAKEINTRESOURCEW(dialog), parent, procedure, parameter);
    return CreateDialogParamA(module, MAKEINTRESOURCEA(dialog), parent, procedure, parameter);
}

INT_PTR LocalizedDialogBox(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    WORD dialog = LocalizedDialogId(id);
    HMODULE module = GetResourceModule();
    if (SystemTakesWideWindows())
        return DialogBoxParamW(module, MAKEINTRESOURCEW(dialog), parent, procedure, parameter);
    return DialogBoxParamA(module, MAKEINTRESOURCEA(dialog), parent, procedure, parameter);
}

#endif

// The description's letters give the whole style: the desktop's system font
// is bold, and a font described without "B" must not inherit that. Its width
// is dropped too, as it belongs to the system font's own face and height.
HFONT CreateFontFromDescription(const string& description) {
    LOGFONT font;
    if (!GetObject(GetStockObject(SYSTEM_FONT), sizeof(font), &font)) ZeroMemory(&font, sizeof(font));
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = ANTIALIASED_QUALITY;
    font.lfWidth = 0;

    LONG size = 0;
    bool bold = false, italic = false, underline = false;
    const TCHAR* text = description.Psz();
    DWORD at = 0;
    while (true) {
        DWORD begin = at;
        while (text[at] && text[at] != ',') ++at;
        DWORD end = at;
        // Spaces around a part are layout, not part of a face name.
        while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
        while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
        const TCHAR* part = text + begin;
        DWORD length = end - begin;
        LONG value;
        if (length == 0) {
            // an empty part says nothing
        } else if (ParseSize(part, length, &value)) {
            // A number is never a face; 0 leaves the size alone.
            if (value) size = value;
        } else if (IsStyleLetters(part, length)) {
            for (DWORD i = 0; i < length; ++i) {
                TCHAR c = part[i] | 0x20;
                bold = bold || c == 'b';
                italic = italic || c == 'i';
                underline = underline || c == 'u';
            }
        } else if (length == 7 && CompareString(LOCALE_INVARIANT, NORM_IGNORECASE, part, 7, TEXT("default"),
                                                7) == CSTR_EQUAL) {
            // the system font's face stays
        } else {
            // Longer names exist for no font; the cut keeps the buffer whole.
            DWORD keep = length < LF_FACESIZE - 1 ? length : LF_FACESIZE - 1;
            lstrcpyn(font.lfFaceName, part, keep + 1);
        }
        if (!text[at]) break;
        ++at;
    }

    if (GetLanguage() == kLangEsperanto && !EndsWithEo(font.lfFaceName)) {
        // The suffix must survive: a face without it lacks the letters.
        int room = LF_FACESIZE - 1 - 3;
        if (lstrlen(font.lfFaceName) > room) font.lfFaceName[room] = 0;
        lstrcat(font.lfFaceName, TEXT(" Eo"));
    }

    if (size > 0) {
        HDC screen = CreateCompatibleDC(nullptr);
        int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) DeleteDC(screen);
        font.lfHeight = -(size * pixelsPerInch / 72);
    } else if (size < 0) {
        font.lfHeight = size;
    }
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic;
    font.lfUnderline = underline;

    HFONT created = CreateFontIndirect(&font);
    if (!created) return nullptr;
    // Realised now, so that the first drawing with it does not pay for the
    // font mapping.
    HDC screen = GetDC(nullptr);
    if (screen) {
        HGDIOBJ previous = SelectObject(screen, created);
        SelectObject(screen, previous);
        ReleaseDC(nullptr, screen);
    }
    return created;
}

HICON LoadIconResource(UINT id) { return LoadIcon(GetResourceModule(), MAKEINTRESOURCE(id)); }

HCURSOR LoadCursorResource(UINT id) { return LoadCursor(GetResourceModule(), MAKEINTRESOURCE(id)); }

HANDLE LoadImageResource(UINT id, UINT type, int width, int height, UINT flags) {
    return LoadImage(GetResourceModule(), MAKEINTRESOURCE(id), type, width, height, flags);
}

HACCEL LoadAcceleratorResource(UINT id) { return LoadAccelerators(GetResourceModule(), MAKEINTRESOURCE(id)); }
