// The skinned message box: sizes and placement from the work area, icons by flag, button sets and their
// labels in both languages, the close box, an empty text, and the modal result of each button.
#include "skinmessage.h"

#include "cea_graphic.h"
#include "skin.h"
#include "skin_test_support.h"
#include "skincontrol.h"
#include "skingraphics.h"
#include "skinwindow.h"
#include "tl_language.h"

#include <gtest/gtest.h>

#include <process.h>

using namespace skintest;

namespace {

class SkinMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        skin.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP");
        SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    }
    LONG WorkWidth() const { return work.right - work.left; }
    Skin skin;
    RECT work;
};

TEST_F(SkinMessageTest, InformationBoxSizesFromTheWorkAreaAndBorders) {
    SkinWindow* box =
        CreateSkinMessage(&skin, 0x40, string("Vexlin Setup"), string("Vexlin is installed."), nullptr);
    ASSERT_NE(nullptr, box);
    LONG base = WorkWidth() / 3 + 40;
    LONG buttonWidth = base / 2 < 40 ? 40 : base / 2 > 75 ? 75 : base / 2;
    if (WorkWidth() == 1024) {
        EXPECT_EQ(75, buttonWidth); // 341 + 40 = 381, 381 / 2 = 190, limited to 75
    }
    SkinControl* ok = box->GetControl(IDOK);
    ASSERT_NE(nullptr, ok);
    EXPECT_STREQ("OK", ok->GetText().Psz8());
    EXPECT_EQ(buttonWidth, ok->GetRect().right - ok->GetRect().left);
    EXPECT_EQ(30, ok->GetRect().bottom - ok->GetRect().top); // the push button picture's cell height
    RECT inner = box->GetInnerRect(), outer = box->GetOuterRect();
    EXPECT_EQ(inner.right - 16, ok->GetRect().right);
    EXPECT_EQ(inner.bottom - 16, ok->GetRect().bottom);
    EXPECT_EQ(nullptr, box->GetControl(IDCANCEL));

    SkinControl* icon = box->GetControl(kSkinMessageIcon);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(skin.FindPicture(string("icon-info"), string()), icon->GetGraphics()->picture);
    EXPECT_EQ(inner.left + 16, icon->GetRect().left);
    EXPECT_EQ(inner.top + 16, icon->GetRect().top);
    LONG margin = 64 + 32;
    LONG textWidth = base - 40 - 48 - margin < 200 ? 200 : base - 40 - 48 - margin;
    EXPECT_EQ(margin + textWidth + 48 + 40, outer.right);
    SkinControl* text = box->GetControl(kSkinMessageText);
    ASSERT_NE(nullptr, text);
    LONG textHeight = text->GetRect().bottom - text->GetRect().top;
    EXPECT_GT(textHeight, 8);
    EXPECT_EQ(40 + 96 + textHeight, outer.bottom);
    EXPECT_EQ(inner.left + margin, text->GetRect().left);
    EXPECT_EQ(textWidth, text->GetRect().right - text->GetRect().left);

    RECT placed;
    GetWindowRect(box->GetHandle(), &placed);
    EXPECT_EQ(work.left + (WorkWidth() - outer.right) / 2, placed.left);
    EXPECT_EQ(work.top + ((work.bottom - work.top) - outer.bottom) / 2, placed.top);
    SkinControl* close = box->GetControl(kSkinCloseBox);
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(outer.right, close->GetRect().right);
    EXPECT_EQ(0, close->GetRect().top);
    char caption[64];
    GetWindowTextA(box->GetHandle(), caption, 64);
    EXPECT_STREQ("Vexlin Setup", caption);
    box->Destroy();
}

TEST_F(SkinMessageTest, IconsByFlag) {
    SkinWindow* alert = CreateSkinMessage(&skin, 0x30, string("c"), string("t"), nullptr);
    ASSERT_NE(nullptr, alert->GetControl(kSkinMessageIcon));
    EXPECT_EQ(skin.FindPicture(string("icon-alert"), string()),
              alert->GetControl(kSkinMessageIcon)->GetGraphics()->picture);
    alert->Destroy();
    // The default skin has no question icon: the box goes without one and keeps the plain margin.
    SkinWindow* question = CreateSkinMessage(&skin, 0x21, string("c"), string("t"), nullptr);
    EXPECT_EQ(nullptr, question->GetControl(kSkinMessageIcon));
    EXPECT_EQ(question->GetInnerRect().left + 64, question->GetControl(kSkinMessageText)->GetRect().left);
    EXPECT_NE(nullptr, question->GetControl(IDCANCEL)); // the rest of the flags, 1: OK and Cancel
    question->Destroy();
}

TEST_F(SkinMessageTest, ButtonSetsAndTheCloseBox) {
    SkinWindow* yesNo = CreateSkinMessage(&skin, 4, string("c"), string("Really?"), nullptr);
    EXPECT_EQ(nullptr, yesNo->GetControl(kSkinCloseBox));
    ASSERT_NE(nullptr, yesNo->GetControl(IDYES));
    ASSERT_NE(nullptr, yesNo->GetControl(IDNO));
    EXPECT_STREQ("Yes", yesNo->GetControl(IDYES)->GetText().Psz8());
    EXPECT_STREQ("No", yesNo->GetControl(IDNO)->GetText().Psz8());
    EXPECT_EQ(nullptr, yesNo->GetControl(IDOK));
    yesNo->Destroy();

    SkinWindow* three = CreateSkinMessage(&skin, 3, string("c"), string("Save?"), nullptr);
    ASSERT_NE(nullptr, three->GetControl(kSkinCloseBox));
    RECT yes = three->GetControl(IDYES)->GetRect(), no = three->GetControl(IDNO)->GetRect(),
         cancel = three->GetControl(IDCANCEL)->GetRect();
    LONG width = yes.right - yes.left;
    EXPECT_EQ(three->GetInnerRect().right - 16, yes.right);
    EXPECT_EQ(yes.left - 8, no.right);
    EXPECT_EQ(no.left - 8, cancel.right);
    EXPECT_EQ(width, cancel.right - cancel.left);
    EXPECT_GE(cancel.left, three->GetInnerRect().left); // every button lies inside the box
    three->Destroy();

    SkinWindow* empty = CreateSkinMessage(&skin, 0, string("c"), string(), nullptr);
    EXPECT_EQ(nullptr, empty->GetControl(kSkinMessageText));
    EXPECT_EQ(40 + 96, empty->GetOuterRect().bottom);
    empty->Destroy();
}

TEST_F(SkinMessageTest, EsperantoLabels) {
    SetLanguage(kLangEsperanto);
    ASSERT_EQ(kLangEsperanto, GetLanguage());
    SkinWindow* box = CreateSkinMessage(&skin, 3, string("c"), string("t"), nullptr);
    EXPECT_STREQ("Jes", box->GetControl(IDYES)->GetText().Psz8());
    EXPECT_STREQ("Ne", box->GetControl(IDNO)->GetText().Psz8());
    EXPECT_STREQ("Nuligu", box->GetControl(IDCANCEL)->GetText().Psz8());
    box->Destroy();
    box = CreateSkinMessage(&skin, 0, string("c"), string("t"), nullptr);
    EXPECT_STREQ("Akceptu", box->GetControl(IDOK)->GetText().Psz8());
    box->Destroy();
    SetLanguage(kLangEnglish);
}

TEST_F(SkinMessageTest, MissingButtonPictureFailsWithTheSkinsText) {
    Members members = DefaultMembers();
    members.erase("pbutton.psp");
    Skin bare;
    OpenMembers(bare, members);
    EXPECT_EQ("the skin Vexlin Night is missing the Message pbutton image",
              Failure([&] { CreateSkinMessage(&bare, 0, string("c"), string("t"), nullptr); }));
    members = DefaultMembers();
    members.erase("frame-x.psp");
    OpenMembers(bare, members);
    EXPECT_EQ("the skin Vexlin Night is missing the Message frame-x image",
              Failure([&] { CreateSkinMessage(&bare, 0, string("c"), string("t"), nullptr); }));
    // Yes/No has no close box and needs no "frame-x".
    SkinWindow* box = CreateSkinMessage(&bare, 4, string("c"), string("t"), nullptr);
    ASSERT_NE(nullptr, box);
    box->Destroy();
}

// Clicks a control of the first visible skinned window from another thread, as a person would.
struct Clicker {
    DWORD id;
    const char* caption;
};

unsigned __stdcall ClickLater(void* parameter) {
    Clicker* clicker = static_cast<Clicker*>(parameter);
    for (int tries = 0; tries < 500; ++tries) {
        HWND window = FindWindowA("SkinWindow", clicker->caption);
        SkinWindow* box = window && IsWindowVisible(window) ? SkinWindow::FromHandle(window) : nullptr;
        SkinControl* control = box ? box->GetControl(clicker->id) : nullptr;
        if (control) {
            const RECT& r = control->GetRect();
            LPARAM at = MAKELPARAM(r.left + 3 + (r.right - r.left) / 4, (r.top + r.bottom) / 2);
            // The close box's corner pixels are transparent: aim at its middle.
            if (clicker->id == kSkinCloseBox) at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            PostMessage(window, WM_MOUSEMOVE, 0, at);
            PostMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessage(window, WM_LBUTTONUP, 0, at);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

int RunAndClick(Skin* skin, UINT flags, DWORD id) {
    Clicker clicker = {id, "Modal"};
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ClickLater, &clicker, 0, nullptr));
    int result = SkinMessageBox(skin, flags, string("Modal"), string("Press a button."));
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return result;
}

TEST_F(SkinMessageTest, ModalRunAnswersTheButtonPressed) {
    EXPECT_EQ(IDOK, RunAndClick(&skin, 0x40, IDOK));
    EXPECT_EQ(IDCANCEL, RunAndClick(&skin, 1, IDCANCEL));
    EXPECT_EQ(IDYES, RunAndClick(&skin, 4, IDYES));
    EXPECT_EQ(IDNO, RunAndClick(&skin, 3, IDNO));
    EXPECT_EQ(IDCANCEL, RunAndClick(&skin, 0x10, kSkinCloseBox));
    EXPECT_EQ(nullptr, FindWindowA("SkinWindow", "Modal")); // each box is gone afterwards
}

} // namespace
