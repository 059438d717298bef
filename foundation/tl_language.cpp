// The process-wide language state and the string resource loaders.
#include "tl_language.h"

#include "tl_string.h"

namespace {

const DWORD kMaxText = 260;

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

// Position of the first entry with that identifier, or npos.
DWORD FindLanguage(const WCHAR* list, LANGID language) {
    WCHAR code[kMaxText + 1];
    for (DWORD n = 0; ListEntry(list, n, code, kMaxText + 1); ++n)
        if (LanguageCodeToId(istring(code)) == language) return n;
    return string::npos;
}

void CopyCounted(WCHAR* dst, const WCHAR* counted) {
    DWORD length = counted ? counted[0] : 0;
    if (length > kMaxText) length = kMaxText;
    for (DWORD i = 0; i < length; ++i) dst[i] = counted[1 + i];
    dst[length] = 0;
}

} // namespace

// The choice a program remembers for itself (in the registry) is not read
// yet; the first language of the list is current.
void InitLanguages(const string& name, UINT listId) {
    if (g_state.initialized && name.IsEmpty()) return;
    // Set first: the string work below asks for the language again.
    g_state.initialized = true;
    if (!name.IsEmpty()) strncpy16(g_state.appName, name.Psz16(), kMaxText);

    const WCHAR* counted = LoadStringResource(listId);
    if (counted)
        CopyCounted(g_state.list, counted);
    else
        strcpy16(g_state.list, L"EN");

    WCHAR code[kMaxText + 1];
    ListEntry(g_state.list, 0, code, kMaxText + 1);
    g_state.index = 0;
    g_state.language = kLangEnglish;
    LANGID first = LanguageCodeToId(istring(code));
    if (first != kLangUnknown) g_state.language = first;
    DWORD count = CountEntries(g_state.list);
    g_state.count = count ? count : 1;
}

LANGID GetLanguage() {
    if (!g_state.initialized) InitLanguages(string(), 1);
    return g_state.language;
}

DWORD GetLanguageIndex() {
    if (!g_state.initialized) InitLanguages(string(), 1);
    return g_state.index;
}

DWORD GetLanguageCount() {
    if (!g_state.initialized) InitLanguages(string(), 1);
    return g_state.count;
}

void SetLanguage(LANGID language) {
    if (!g_state.initialized) InitLanguages(string(), 1);
    DWORD index = FindLanguage(g_state.list, language);
    if (index == string::npos) return;
    g_state.language = language;
    g_state.index = index;
    DWORD count = CountEntries(g_state.list);
    g_state.count = count ? count : 1;
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
