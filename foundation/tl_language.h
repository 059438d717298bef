// The process's current language, the choice each program keeps in the
// registry, and the loading of localized resources: the resource of language
// index k for identifier id is stored at id + k.
#pragma once

#include <windows.h>

class string;
class istring;

const LANGID kLangEsperanto = 0; // has no Windows identifier of its own
const LANGID kLangEnglish = 1033;
const LANGID kLangUnknown = 65535;

// Longest application name, language list and stored code, in characters.
const DWORD kMaxLanguageText = 260;

// Reads the program's language list (comma-separated codes) from string
// resource listId, "EN" when it is missing, and makes current the language
// stored for the application name in the registry, or the list's first one.
// A non-empty name also stores the list and the choice under that name.
// Does nothing when already done and name is empty.
void InitLanguages(const string& name, UINT listId);

// These three initialise from string resource 1 on first use.
LANGID GetLanguage();
DWORD GetLanguageIndex();
// Number of languages, the stride between localized resources; at least 1.
DWORD GetLanguageCount();

// Makes the language current and stores the choice if the list holds it;
// otherwise nothing changes.
void SetLanguage(LANGID language);

// The choice of another program, by the name it initialised with; an empty
// name or the program's own name means the current language.
void SetAppLanguage(const string& app, LANGID language);
// kLangUnknown when nothing (or nothing known) is stored.
LANGID GetAppLanguage(const string& app);
// The language of entry n (from 0) of that program's list; kLangUnknown
// beyond the last entry or for an unknown code.
LANGID GetAppLanguageOption(const string& app, DWORD n);

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

// The template of dialog id in the current language, and through module the
// module holding it; null when there is none.
const DLGTEMPLATE* FindLocalizedDialog(UINT id, HINSTANCE* module);
// The modeless dialog id in the current language; null on failure.
HWND CreateLocalizedDialog(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter);
// Runs dialog id in the current language; -1 when it cannot be created.
INT_PTR LocalizedDialogBox(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter);

// A font from a description such as "Tahoma,9,B": comma-separated parts
// giving the face ("default" keeps the system's), the size (positive in
// points, negative as a height in pixels) and the style letters B, I and U.
// While Esperanto is current the face is its " Eo" variant. Null on failure;
// the caller deletes the font.
HFONT CreateFontFromDescription(const string& description);

// Loaders of resources that exist once for all languages, from the resource
// module by their plain identifier; null when missing.
HICON LoadIconResource(UINT id);
HCURSOR LoadCursorResource(UINT id);
HANDLE LoadImageResource(UINT id, UINT type, int width, int height, UINT flags);
HACCEL LoadAcceleratorResource(UINT id);
