// The process's current language and the loading of localized resources:
// the resource of language index k for identifier id is stored at id + k.
#pragma once

#include <windows.h>

class string;
class istring;

const LANGID kLangEsperanto = 0; // has no Windows identifier of its own
const LANGID kLangEnglish = 1033;
const LANGID kLangUnknown = 65535;

// Reads the program's language list (comma-separated codes) from string
// resource listId, "EN" when it is missing, and makes its first language
// current. Does nothing when already done and name is empty.
void InitLanguages(const string& name, UINT listId);

// These three initialise from string resource 1 on first use.
LANGID GetLanguage();
DWORD GetLanguageIndex();
// Number of languages, the stride between localized resources; at least 1.
DWORD GetLanguageCount();

// Makes the language current if the list holds it; otherwise nothing changes.
void SetLanguage(LANGID language);

// The identifier of a two-letter code, kLangUnknown for codes not known.
LANGID LanguageCodeToId(const istring& code);

// The module resources are loaded from; null means the program itself.
HMODULE GetResourceModule();
void SetResourceModule(HMODULE module);

// The counted text of string resource id (a 16-bit length, then that many
// characters, not terminated), or null when it is missing or empty.
const WCHAR* LoadStringResource(UINT id);

// Appends the localized string id of the current language. A piece ending
// in "+" loses it and continues with the resource one language stride
// further on. A missing first resource appends nothing.
void AppendLocalizedString(string& text, UINT id);
