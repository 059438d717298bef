// The skinned message box: a small skinned window of variant "Message" with an optional icon, a markup
// text and one to three buttons labelled in the current language, run modally; it answers the identifier
// of the button that closed it.
#pragma once

#include <windows.h>

#include "tl_string.h"

class Skin;
class SkinWindow;

// Identifiers of the box's own controls.
const DWORD kSkinMessageIcon = 40010;
const DWORD kSkinMessageText = 40011;

// Builds the box for the flags (icon 0x10/0x30 alert, 0x20 question, 0x40 information; buttons 1
// OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No, anything else OK) without showing it. Throws the skin's
// missing-picture text when "frame-x" (when there is a close box) or "pbutton" is missing.
SkinWindow* CreateSkinMessage(Skin* skin, UINT flags, const string& caption, const string& text, HWND parent);
// Shows the box modally and returns 1 (OK), 2 (Cancel or the close box), 6 (Yes) or 7 (No).
int SkinMessageBox(Skin* skin, UINT flags, const string& caption, const string& text, HWND parent = nullptr);
