// Skin checker for skin authors: opens a skin archive, lists its properties and pictures, reports every
// missing required picture and every bad value with its member and key, and renders a sample window with
// every control kind in every state, and a message box of each kind, to BMP files.
//   skincheck <skin archive> [output folder]
//   skincheck --show <skin archive> <seconds>   shows the sample window on the screen for a while
// Exit status: 0 when the skin has no fault, 1 when it has faults, 2 when it cannot be opened.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_sound.h"
#include "cetl_exception.h"
#include "skin.h"
#include "skincontrol.h"
#include "skingraphics.h"
#include "skinmessage.h"
#include "skinwindow.h"

#include <string>
#include <vector>

namespace {

struct PictureRule {
    const char* type;
    DWORD code;
    bool required;
};

// The pictures the skinned controls ask for, with the grids they are cut into.
const PictureRule kPictures[] = {
    {"frame", 0, false},     {"frame-c", 1, false},  {"frame-lr", 2, false},   {"frame-tb", 3, false},
    {"frame-x", 4, true},    {"frame-min", 5, true}, {"background", 0, false}, {"pbutton", 7, true},
    {"rbutton", 8, true},    {"cbutton", 9, true},   {"pbar", 10, true},       {"text", 11, false},
    {"vscroll", 12, true},   {"hscroll", 13, true},  {"edit", 15, true},       {"cursor", 16, true},
    {"list", 17, true},      {"listitem", 8, true},  {"icon-alert", 0, false}, {"icon-question", 0, false},
    {"icon-info", 0, false}, {"layout", 0, false}};

int g_faults = 0;

void Fault(const std::string& text) {
    printf("FAULT: %s\n", text.c_str());
    ++g_faults;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    return lstrcmpiA(text.c_str() + text.size() - suffix.size(), suffix.c_str()) == 0;
}

bool IsNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    return digits > 0 && i == text.size();
}

void CheckValues(const Skin& skin) {
    printf("Properties (skin.txt):\n");
    for (Properties::const_iterator it = skin.GetProperties().begin(); it != skin.GetProperties().end();
         ++it) {
        std::string key = it.key().Psz8(), value = it.value().text.Psz8();
        printf("  %s = %s\n", key.c_str(), value.c_str());
        if (value.empty()) continue;
        if (EndsWith(key, "color") && !IsPropertyColor(it.value().text))
            Fault("skin.txt, key \"" + key + "\": unreadable colour \"" + value + "\" (write #RRGGBB)");
        const char* numeric[] = {"border",
                                 "xborder",
                                 "yborder",
                                 "lborder",
                                 "rborder",
                                 "tborder",
                                 "bborder",
                                 "titlebar height",
                                 "frames per second",
                                 "xadjust",
                                 "yadjust",
                                 "xminimum",
                                 "yminimum",
                                 "xmaximum",
                                 "ymaximum",
                                 "drag by background",
                                 "proportional scrollbars"};
        for (const char* suffix : numeric)
            if (EndsWith(key, suffix) && !IsNumber(value))
                Fault("skin.txt, key \"" + key + "\": \"" + value + "\" is not a whole number");
        if (EndsWith(key, "layout") && !EndsWith(key, "background layout") &&
            lstrcmpiA(value.c_str(), "left") && lstrcmpiA(value.c_str(), "right") &&
            lstrcmpiA(value.c_str(), "center"))
            Fault("skin.txt, key \"" + key + "\": \"" + value + "\" is not left, right or center");
        if (EndsWith(key, "background layout") && lstrcmpiA(value.c_str(), "tile") &&
            lstrcmpiA(value.c_str(), "stretch") && lstrcmpiA(value.c_str(), "center"))
            Fault("skin.txt, key \"" + key + "\": \"" + value + "\" is not tile, stretch or center");
    }
}

void CheckPictures(Skin& skin) {
    printf("Members:\n");
    for (SKINFILE* file : skin.GetFiles()) {
        std::string name = file->name.Psz8();
        if (file->picture)
            printf("  %s: picture %d x %d\n", name.c_str(), file->picture->GetWidth(),
                   file->picture->GetHeight());
        else if (file->sound)
            printf("  %s: sound%s\n", name.c_str(), file->sound->HasData() ? "" : " (unreadable)");
        else
            printf("  %s: %lu characters of text\n", name.c_str(),
                   static_cast<unsigned long>(file->text.GetLength()));
        if ((EndsWith(name, ".psp") || EndsWith(name, ".bmp")) && !file->picture)
            Fault(name + ": the picture cannot be read");
        if (EndsWith(name, ".wav") && file->sound && !file->sound->HasData())
            Fault(name + ": the sound cannot be read");
    }
    bool single = skin.FindPicture(string("frame"), string()) != nullptr;
    for (const PictureRule& rule : kPictures) {
        Graphic* picture = skin.FindPicture(string(rule.type), string());
        if (!picture) {
            if (rule.required)
                Fault(std::string("missing picture \"") + rule.type + ".psp\" (a control needs it)");
            continue;
        }
        DWORD columns, rows;
        SkinGridOf(rule.code, &columns, &rows);
        std::string member = std::string(rule.type) + ".psp";
        SKINFILE* file = skin.FindFile(string(member.c_str()));
        if (!file || file->picture != picture) member = std::string(rule.type) + ".bmp";
        if (picture->GetWidth() % columns || picture->GetHeight() % rows)
            Fault(member + ": " + std::to_string(picture->GetWidth()) + " x " +
                  std::to_string(picture->GetHeight()) + " does not divide into " + std::to_string(columns) +
                  " x " + std::to_string(rows) + " cells");
    }
    if (!single && !skin.FindPicture(string("frame-c"), string()))
        printf("  note: no \"frame\" and no \"frame-c\" picture: windows keep a plain rectangle\n");
}

bool SaveBmp(Graphic* picture, const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL saved = picture->Save(file);
    CloseHandle(file);
    if (saved) printf("Wrote %s\n", path.c_str());
    return saved != FALSE;
}

LRESULT Quiet(SkinWindow*, UINT, WPARAM, LPARAM) { return 0; }

void RenderSample(Skin& skin, const std::string& folder) {
    static const char* const names[4] = {"disabled", "normal", "hot", "pressed"};
    for (LONG row = 0; row < 4; ++row) {
        SkinWindow* window = SkinWindow::Create(&skin, string(), Quiet, 100, 0, nullptr);
        if (!window) {
            Fault("the sample window cannot be made");
            return;
        }
        window->SetChecked(1003, TRUE);
        window->SetChecked(1005, TRUE);
        window->SetProgress(1006, 50);
        window->SetText(1008, string("Vexlin"));
        if (SkinControl* edit = window->GetControl(1008)) {
            edit->SetSelection(1, 4);
            window->SetFocus(edit);
        }
        if (SkinControl* list = window->GetControl(1009)) {
            list->AddItem(string("English"));
            list->AddItem(string("Esperanto"));
            list->SetSelectedItem(1);
        }
        if (SkinControl* bar = window->GetControl(1010)) bar->SetScrollInfo(0, 100, 25, 40);
        if (SkinControl* bar = window->GetControl(1011)) bar->SetScrollInfo(0, 100, 25, 70);
        for (DWORD i = 0; i < window->GetControlCount(); ++i) window->GetControlAt(i)->ForceState(row);
        if (Graphic* picture = window->Render()) {
            SaveBmp(picture, folder + "\\sample-" + names[row] + ".bmp");
            MEMDELETE(picture);
        }
        window->Destroy();
    }
}

void RenderMessages(Skin& skin, const std::string& folder) {
    struct Kind {
        UINT flags;
        const char* name;
        const char* text;
    } kinds[] = {{0x40, "info-ok", "Vexlin was installed.\n\nStart it from the <b>Start</b> menu."},
                 {0x30, "alert-ok", "The device does not answer."},
                 {0x21, "question-okcancel", "Install Vexlin on the desktop?"},
                 {0x03, "yesnocancel", "Replace the installed game?"},
                 {0x04, "yesno", "Remove the old high scores?"},
                 {0x00, "empty", ""}};
    for (const Kind& kind : kinds) {
        SkinWindow* box =
            CreateSkinMessage(&skin, kind.flags, string("Vexlin Setup"), string(kind.text), nullptr);
        if (!box) continue;
        if (Graphic* picture = box->Render()) {
            SaveBmp(picture, folder + "\\message-" + kind.name + ".bmp");
            MEMDELETE(picture);
        }
        box->Destroy();
    }
}

// The sample window on the screen, live, for a screenshot.
int ShowSample(const char* path, DWORD seconds) {
    Skin skin;
    try {
        skin.OpenFile(path);
        SkinWindow* window = SkinWindow::Create(&skin, string(), Quiet, 100, 0, nullptr);
        if (!window) return 2;
        window->SetChecked(1003, TRUE);
        window->SetChecked(1005, TRUE);
        window->SetProgress(1006, 50);
        window->SetText(1008, string("Vexlin"));
        ShowWindow(window->GetHandle(), SW_SHOW);
        DWORD start = GetTickCount();
        while (GetTickCount() - start < seconds * 1000 && window->GetAnimWindow())
            window->GetAnimWindow()->Play(1);
        window->Destroy();
    } catch (const cetl::exception& e) {
        printf("FAULT: %s\n", e.message().Psz8());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && lstrcmpA(argv[1], "--show") == 0)
        return ShowSample(argv[2], static_cast<DWORD>(atoi(argv[3])));
    if (argc < 2) {
        printf("usage: skincheck <skin archive> [output folder]\n");
        return 2;
    }
    std::string folder = argc > 2 ? argv[2] : ".";
    CreateDirectoryA(folder.c_str(), nullptr); // an existing folder is fine
    Skin skin;
    try {
        skin.OpenFile(argv[1]);
    } catch (const cetl::exception& e) {
        printf("FAULT: %s cannot be opened: %s\n", argv[1], e.message().Psz8());
        return 2;
    }
    printf("Skin \"%s\" from %s\n", skin.GetProperty(TEXT("skin")).Psz8(), argv[1]);
    CheckValues(skin);
    CheckPictures(skin);
    if (g_faults == 0) {
        try {
            RenderSample(skin, folder);
            RenderMessages(skin, folder);
        } catch (const cetl::exception& e) {
            Fault(std::string("rendering failed: ") + e.message().Psz8());
        }
    } else {
        printf("Nothing rendered: mend the faults first.\n");
    }
    printf("%d fault%s\n", g_faults, g_faults == 1 ? "" : "s");
    return g_faults ? 1 : 0;
}
