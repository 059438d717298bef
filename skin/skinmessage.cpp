// The skinned message box: its layout from the work area and the skin, and its modal run.
#include "skinmessage.h"

#include "cea_graphic.h"
#include "skin.h"
#include "skincontrol.h"
#include "skingraphics.h"
#include "skinwindow.h"
#include "tl_language.h"

namespace {

const LONG kMargin = 64;
const LONG kSpacing = 16;

LRESULT MessageProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return 0;
    DWORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO)
        window->EndModal(id);
    else if (id == kSkinCloseBox)
        window->EndModal(IDCANCEL);
    return 0;
}

const TCHAR* Label(DWORD id) {
    bool english = GetLanguage() == 0x0409;
    switch (id) {
    case IDOK:
        return english ? TEXT("OK") : TEXT("Akceptu");
    case IDCANCEL:
        return english ? TEXT("Cancel") : TEXT("Nuligu");
    case IDYES:
        return english ? TEXT("Yes") : TEXT("Jes");
    default:
        return english ? TEXT("No") : TEXT("Ne");
    }
}

} // namespace

SkinWindow* CreateSkinMessage(Skin* skin, UINT flags, const string& caption, const string& text,
                              HWND parent) {
    const string variant(TEXT("Message"));
    SkinWindow* window = SkinWindow::Create(skin, variant, MessageProc, 0, 0, parent);
    if (!window) return nullptr;
    try {
        RECT work;
        SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
        const SKINWINDOWSTYLE& style = window->GetStyle();
        LONG horizontal = style.left + style.right, vertical = style.top + style.bottom;

        const TCHAR* icon = nullptr;
        if (flags & 0x10) {
            icon = TEXT("icon-alert");
            flags &= ~0x30u;
        } else if (flags & 0x20) {
            icon = TEXT("icon-question");
            flags &= ~0x20u;
        } else if (flags & 0x40) {
            icon = TEXT("icon-info");
        }
        flags &= ~0x40u;
        DWORD buttons[3] = {IDOK, 0, 0};
        DWORD count = 1;
        if (flags == 1) {
            buttons[1] = IDCANCEL;
            count = 2;
        } else if (flags == 3) {
            buttons[0] = IDYES;
            buttons[1] = IDNO;
            buttons[2] = IDCANCEL;
            count = 3;
        } else if (flags == 4) {
            buttons[0] = IDYES;
            buttons[1] = IDNO;
            count = 2;
        }
        bool yesNo = flags == 4;

        LONG base = (work.right - work.left) / 3 + horizontal;
        LONG buttonWidth = base / static_cast<LONG>(count + 1);
        if (buttonWidth < 40) buttonWidth = 40;
        if (buttonWidth > 75) buttonWidth = 75;

        if (!yesNo) {
            SKINCONTROLGRAPHICS* x = skin->GetControlGraphics(string(TEXT("frame-x")), 4, variant);
            SkinControl* close = window->AddControl(sctPUSHBUTTON, kSkinCloseBox, string(), 0);
            close->SetLayout(slFAR | slOUTER, 0, x->cellWidth, slOUTER, 0, x->cellHeight);
        }

        LONG margin = kMargin;
        if (icon) {
            SKINCONTROLGRAPHICS* picture = skin->GetControlGraphics(string(icon), SkinGrid(1, 1), variant);
            if (picture) {
                SkinControl* iconControl = window->AddControl(sctUSER, kSkinMessageIcon, string(), 0);
                iconControl->SetPicture(picture->picture);
                iconControl->SetLayout(0, kSpacing, picture->cellWidth, 0, kSpacing, picture->cellHeight);
                margin += picture->cellWidth;
            }
        }

        LONG textWidth = base - horizontal - 48 - margin;
        if (textWidth < 200) textWidth = 200;
        LONG width = margin + textWidth + 48 + horizontal;
        LONG height = vertical + 96;

        SkinControl* textControl = nullptr;
        if (!text.IsEmpty()) {
            textControl = window->AddControl(sctSTATIC, kSkinMessageText, text, 0);
            textControl->MakePictures();
            const SKINTEXTSTYLE& s = textControl->GetTextStyle();
            LONG textHeight = textControl->MeasureText(textWidth - s.left - s.right) + s.top + s.bottom;
            textControl->SetLayout(0, margin, textWidth, 0, kSpacing, textHeight);
            height += textHeight;
        }

        SKINCONTROLGRAPHICS* pbutton = skin->GetControlGraphics(string(TEXT("pbutton")), 7, variant);
        for (DWORD i = 0; i < count; ++i) {
            SkinControl* button = window->AddControl(sctPUSHBUTTON, buttons[i], string(Label(buttons[i])), 0);
            // Each further button goes left of the one before, under the same right-edge anchoring.
            button->SetLayout(slFAR, kSpacing + static_cast<LONG>(i) * (buttonWidth + 8), buttonWidth, slFAR,
                              kSpacing, pbutton->cellHeight);
        }

        window->SetCaption(caption);
        window->SetWindowRect(work.left + ((work.right - work.left) - width) / 2,
                              work.top + ((work.bottom - work.top) - height) / 2, width, height);
        window->MakeControls();
        window->SetFocus(window->GetControl(buttons[0]));
    } catch (...) {
        window->Destroy();
        throw;
    }
    return window;
}

int SkinMessageBox(Skin* skin, UINT flags, const string& caption, const string& text, HWND parent) {
    SkinWindow* window = CreateSkinMessage(skin, flags, caption, text, parent);
    if (!window) return 0;
    INT_PTR result = window->RunModal();
    window->Destroy();
    return static_cast<int>(result);
}
