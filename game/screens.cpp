// Screens: building and clearing the six screens, the per-frame effects, the
// buttons' commands and their press animation.
#include "screens.h"

#include <stdlib.h>

#include "board.h"
#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "check_button.h"
#include "game.h"
#include "game_graphics.h"
#include "game_settings.h"
#include "game_sounds.h"
#include "gl_anim_button.h"
#include "high_scores.h"
#include "mem_manager.h"
#include "tl_language.h"

namespace {

const LONG kButtonDepth = 50;
const LONG kTitleDepth = 50;
const LONG kHelpDepth = 52;
const LONG kScoresDepth = 51;
const LONG kHeadBarDepth = 75;
const LONG kHeadBarPartsDepth = 74;
const DWORD kButtonStyle = abCENTERTEXT;
// The object slot (after the control's own) that leads a button's messages back to the screens.
const DWORD kScreensSlot = 5;

// Labels of the button picture.
enum {
    kLabelResume = 0,
    kLabelNewGame = 1,
    kLabelHelp = 2,
    kLabelExit = 3,
    kLabelPostScores = 5,
    kLabelScoresPage = 6,
    kLabelEndGame = 7,
    kLabelHighScores = 8,
    kLabelOptions = 9,
    kLabelDone = 10
};

const LONG kMainMenuTop = 60;
const LONG kPauseTop = 80;
const LONG kOptionsTopOverGame = 72;
const LONG kOptionsTop = 52;
const LONG kCheckGap = 3;
const LONG kDoneGap = 10;
const LONG kHelpDoneTop = 250;
const LONG kHelpDoneLabelX = -25;
const LONG kScoresButtonsTop = 200;
const LONG kScoresButtonsOverlap = 6;
const LONG kScoresLabelX = 95;
const LONG kScoresRuleTop = 197;
const LONG kScoresPictureTop = 225;
const LONG kListMargin = 20;
const LONG kListGap = 5;
const LONG kMenuButtonMargin = 3;
const RECT kProgressRect = {3, 24, 237, 28};
const LONG kScoreLeft = 3, kScoreTop = 6;
const int kScoreDigits = 9;
const LONG kBandBottom = 320;
const LONG kBandsTopStrip = 32;
const DWORD kChangerTurnFrames = 20;
const DWORD kHintCycle = 210, kFirstHintFrom = 150, kSecondHintFrom = 180;

Screens* FromObject(AnimObject* object) { return reinterpret_cast<Screens*>(object->GetData(kScreensSlot)); }

// The screens' hook on each button: its own hit test and drawing.
DWORD ButtonMessageHook(AnimObject* object, DWORD message, LPARAM parameter) {
    Screens* screens = FromObject(object);
    AnimButton* button = AnimButton::FromObject(object);
    ScreenButton* record = screens && button ? screens->record(button) : nullptr;
    if (!record) return 1;
    if (message == acHITTEST)
        return parameter && screens->hitsButton(record, *reinterpret_cast<POINT*>(parameter));
    if (message == amDRAW) {
        // Drawn here, once: answering 0 keeps the button from drawing itself again.
        if (parameter) screens->paintButton(record, reinterpret_cast<const ANIMDRAW*>(parameter));
        return 0;
    }
    return 1;
}

// Command and notification handler of every button; only the click matters.
LRESULT CALLBACK ButtonHandler(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || !lParam) return 0;
    AnimButton* button = reinterpret_cast<AnimButton*>(lParam);
    AnimObject* object = button->GetObject();
    Screens* screens = object ? FromObject(object) : nullptr;
    if (screens) screens->onButtonCommand(button);
    return 0;
}

DWORD ProgressCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    if (message == amDRAW && parameter && FromObject(object))
        FromObject(object)->paintProgress(reinterpret_cast<const ANIMDRAW*>(parameter));
    return 1;
}

DWORD ScoreCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    if (message == amDRAW && parameter && FromObject(object))
        FromObject(object)->paintScore(reinterpret_cast<const ANIMDRAW*>(parameter));
    return 1;
}

DWORD ListCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    if (message == amDRAW && parameter && FromObject(object))
        FromObject(object)->paintList(reinterpret_cast<const ANIMDRAW*>(parameter));
    return 1;
}

bool IsCheckCommand(DWORD id) {
    return id == kCmdSoundEffects || id == kCmdMusic || id == kCmdLanguage || id == kCmdAdvancedStart;
}

} // namespace

Screens::Screens(GameContext* context, GameSettings* settings)
    : m_context(context), m_settings(settings), m_commandWindow(nullptr), m_screen(kScreenNone),
      m_highlight(-1), m_englishFlag(0), m_titleTop(nullptr), m_titleBottom(nullptr), m_helpPicture(nullptr),
      m_scoresTitle(nullptr), m_scoresRule(nullptr), m_scoresPicture(nullptr), m_list(nullptr),
      m_headBar(nullptr), m_progress(nullptr), m_scoreDisplay(nullptr), m_buttonCount(0),
      m_menuButton(nullptr), m_helpPieceCount(0), m_helpChanger(nullptr), m_pressed(nullptr), m_pressStep(0),
      m_bandsVisible(false) {
    ZeroMemory(m_buttons, sizeof(m_buttons));
    ZeroMemory(m_helpPieces, sizeof(m_helpPieces));
    ZeroMemory(m_bands, sizeof(m_bands));
    for (int k = 0; k < kBandCount; k++) {
        m_bands[k].rect.right = 4 + 4 * k;
        m_bands[k].rect.bottom = kBandBottom;
    }
}

Screens::~Screens() {
    clearScreen();
    if (m_context->screens == this) m_context->screens = nullptr;
}

HWND Screens::commandWindow() const {
    if (m_commandWindow) return m_commandWindow;
    return m_context->window ? GetParent(m_context->window->GetHandle()) : nullptr;
}

// ---- Showing and clearing ------------------------------------------------

void Screens::showScreen(int screen, int highlight) {
    AnimWindow* window = m_context->window;
    window->Lock();
    clearScreen();
    if (screen < kScreenMainMenu || screen > kScreenHighScores) {
        m_screen = kScreenNone;
        m_highlight = -1;
        window->Unlock();
        return;
    }
    m_screen = screen;
    m_highlight = highlight >= 0 && highlight < kHighScoreCount ? highlight : -1;
    if (m_context->graphics && m_context->graphics->loaded()) {
        switch (screen) {
        case kScreenMainMenu:
            buildMainMenu();
            break;
        case kScreenHelp:
            buildHelp();
            break;
        case kScreenOptions:
            buildOptions();
            break;
        case kScreenPause:
            buildPause();
            break;
        case kScreenGame:
            buildGame();
            break;
        case kScreenHighScores:
            buildHighScores();
            break;
        }
    }
    window->Unlock();
}

void Screens::rebuildScreen() { showScreen(m_screen, -1); }

void Screens::destroyObject(AnimObject** object) {
    if (!*object) return;
    MEMDELETE(*object);
    *object = nullptr;
}

void Screens::clearScreen() {
    AnimWindow* window = m_context->window;
    window->Lock();
    m_bandsVisible = false;
    // A press that is still running ends with its screen.
    for (int step = 1; step <= kPressSteps; step++) window->UnscheduleEvents(kEventButtonPress, step);
    m_pressed = nullptr;
    m_pressStep = 0;
    AnimObject** objects[] = {&m_titleTop,   &m_titleBottom,   &m_helpPicture, &m_scoresTitle,
                              &m_scoresRule, &m_scoresPicture, &m_list,        &m_headBar,
                              &m_progress,   &m_scoreDisplay};
    for (AnimObject** object : objects) destroyObject(object);
    for (int i = 0; i < m_buttonCount; i++) {
        if (m_buttons[i].button) MEMDELETE(m_buttons[i].button);
    }
    ZeroMemory(m_buttons, sizeof(m_buttons));
    m_buttonCount = 0;
    m_menuButton = nullptr;
    for (int i = 0; i < m_helpPieceCount; i++) Board::DestroyFreePiece(m_helpPieces[i]);
    ZeroMemory(m_helpPieces, sizeof(m_helpPieces));
    m_helpPieceCount = 0;
    m_helpChanger = nullptr;
    if (m_context->game) m_context->game->destroyMenuBoard();
    window->Unlock();
}

void Screens::enableButtons(bool on) {
    for (int i = 0; i < m_buttonCount; i++)
        if (m_buttons[i].button) m_buttons[i].button->Enable(on ? TRUE : FALSE);
}

// ---- Building blocks -----------------------------------------------------

AnimObject* Screens::placeImage(Graphic* picture, LONG x, LONG y, LONG depth) {
    if (!picture) return nullptr;
    AnimObject* object = NEW_ANIMOBJECT((m_context->window, picture, depth));
    if (!object) return nullptr;
    RECT rect = {x, y, x + picture->GetWidth(), y + picture->GetHeight()};
    object->SetRect(&rect);
    return object;
}

AnimObject* Screens::placePainted(AnimObjectCallback callback, const RECT& rect, LONG depth) {
    AnimObject* object = NEW_ANIMOBJECT((m_context->window, callback, depth));
    if (!object) return nullptr;
    object->SetData(kScreensSlot, reinterpret_cast<DWORD_PTR>(this));
    if (object->GetData(kScreensSlot) != reinterpret_cast<DWORD_PTR>(this)) {
        MEMDELETE(object);
        return nullptr;
    }
    object->SetRect(&rect);
    return object;
}

ScreenButton* Screens::addRecord(AnimButton* button, int kind) {
    if (!button) return nullptr;
    AnimObject* object = button->GetObject();
    if (object) object->SetData(kScreensSlot, reinterpret_cast<DWORD_PTR>(this));
    if (!object || object->GetData(kScreensSlot) != reinterpret_cast<DWORD_PTR>(this) ||
        m_buttonCount >= kMaxScreenButtons + 1) {
        MEMDELETE(button);
        return nullptr;
    }
    ScreenButton* record = &m_buttons[m_buttonCount++];
    ZeroMemory(record, sizeof(*record));
    record->button = button;
    record->kind = kind;
    button->SetCommandHandler(ButtonHandler);
    button->SetNotifyHandler(ButtonHandler);
    button->SetMessageHook(ButtonMessageHook);
    return record;
}

ScreenButton* Screens::record(AnimButton* button) {
    for (int i = 0; i < m_buttonCount; i++)
        if (m_buttons[i].button == button) return &m_buttons[i];
    return nullptr;
}

AnimButton* Screens::button(DWORD id) const {
    for (int i = 0; i < m_buttonCount; i++)
        if (m_buttons[i].button && m_buttons[i].button->GetId() == id) return m_buttons[i].button;
    return nullptr;
}

ScreenButton* Screens::addButton(DWORD id, int label, LONG y, bool hasLabelX, LONG labelX) {
    const LanguagePart& part = m_context->graphics->currentPart();
    Graphic* picture = GraphicsSet::tile(part, kPicButtonLabels, 2 * label);
    Graphic* highlight = GraphicsSet::tile(part, kPicButtonLabels, 2 * label + 1);
    if (!picture) return nullptr;
    ScreenButton* record =
        addRecord(NEW_ANIMBUTTON((m_context->window, id, kButtonStyle, kButtonDepth)), kButtonOrdinary);
    if (!record) return nullptr;
    LONG width = m_context->window->GetWidth(), labelWidth = picture->GetWidth();
    record->label = picture;
    record->highlight = highlight;
    record->labelX = hasLabelX ? labelX : (width - labelWidth) / 2;
    record->visibleWidth = part.labelWidths[label];
    record->hitCentre = hasLabelX ? labelX + labelWidth / 2 : width / 2;
    RECT rect = {0, y, width, y + picture->GetHeight()};
    record->button->SetRect(&rect);
    return record;
}

ScreenButton* Screens::addSimpleButton(DWORD id, Graphic* picture, Graphic* highlight, const RECT& rect,
                                       LONG labelX) {
    if (!picture) return nullptr;
    ScreenButton* record =
        addRecord(NEW_ANIMBUTTON((m_context->window, id, kButtonStyle, kButtonDepth)), kButtonSimple);
    if (!record) return nullptr;
    record->label = picture;
    record->highlight = highlight;
    record->labelX = labelX;
    record->button->SetRect(&rect);
    return record;
}

ScreenButton* Screens::addCheckButton(DWORD id, DWORD* value, int onPicture, LONG y) {
    const LanguagePart& part = m_context->graphics->currentPart();
    Graphic* on = GraphicsSet::tile(part, kPicCheckButtons, onPicture);
    Graphic* off = GraphicsSet::tile(part, kPicCheckButtons, onPicture + 1);
    if (!on || !off) return nullptr;
    ScreenButton* record = addRecord(NEW_CHECKBUTTON((m_context->window, id, value, on, off)), kButtonCheck);
    if (!record) return nullptr;
    LONG x = (m_context->window->GetWidth() - on->GetWidth()) / 2;
    RECT rect = {x, y, x + on->GetWidth(), y + on->GetHeight()};
    record->button->SetRect(&rect);
    return record;
}

void Screens::placeTitleStrips() {
    const GraphicsSet* g = m_context->graphics;
    m_titleTop = placeImage(g->tile(kPicTitleStrips, 0), 0, 0, kTitleDepth);
    Graphic* bottom = g->tile(kPicTitleStrips, 1);
    if (bottom)
        m_titleBottom =
            placeImage(bottom, 0, m_context->window->GetHeight() - bottom->GetHeight(), kTitleDepth);
}

// The bottom of a button just added, or `y` when it could not be made.
static LONG BottomOf(ScreenButton* record, LONG y) {
    if (!record || !record->button->GetObject()) return y;
    return record->button->GetObject()->GetRect().bottom;
}

// ---- The six layouts -----------------------------------------------------

// Buttons stacked from `top`, each as tall as its label picture. A missing label leaves its place empty
// rather than shifting the rest up.
void Screens::addButtonColumn(const int* labels, const DWORD* ids, int count, LONG top) {
    LONG y = top;
    for (int i = 0; i < count; i++) {
        Graphic* label =
            GraphicsSet::tile(m_context->graphics->currentPart(), kPicButtonLabels, 2 * labels[i]);
        addButton(ids[i], labels[i], y);
        y += label ? label->GetHeight() : 0;
    }
}

void Screens::buildMainMenu() {
    placeTitleStrips();
    const int labels[] = {kLabelNewGame, kLabelHelp, kLabelHighScores, kLabelOptions, kLabelExit};
    const DWORD ids[] = {kCmdNewGame, kCmdHelp, kCmdHighScores, kCmdOptions, kCmdExit};
    addButtonColumn(labels, ids, 5, kMainMenuTop);
    music(true);
    if (m_context->game) m_context->game->createMenuBoard();
    m_bandsVisible = true;
}

void Screens::addHelpPiece(const PieceKind& kind, LONG x, LONG y) {
    if (m_helpPieceCount >= kHelpPieceCount) return;
    ScreenPiece* piece = Board::CreateFreePiece(m_context, kind, x, y);
    if (piece) m_helpPieces[m_helpPieceCount++] = piece;
}

void Screens::buildHelp() {
    addButton(kCmdHelpDone, kLabelDone, kHelpDoneTop, true, kHelpDoneLabelX);
    m_helpPicture =
        placeImage(GraphicsSet::tile(m_context->graphics->currentPart(), kPicHelp, 0), 0, 0, kHelpDepth);
    addHelpPiece(MakeKind(1), 12, 12);
    addHelpPiece(MakeKind(1), 36, 12);
    addHelpPiece(MakeKind(1), 36, 36);
    addHelpPiece(MakeKind(0, false, false, true), 40, 80);
    m_helpChanger = m_helpPieceCount ? m_helpPieces[m_helpPieceCount - 1] : nullptr;
    if (m_helpChanger && !IsChanger(m_helpChanger->kind)) m_helpChanger = nullptr;
    addHelpPiece(MakeKind(0, true, false, true), 170, 80);
    addHelpPiece(MakeKind(0, true, true, true), 40, 205);
    addHelpPiece(MakeKind(0, true, true, false), 170, 205);
    addHelpPiece(MakeKind(1, true, true, false), 146, 229);
    addHelpPiece(MakeKind(2, true, true, false), 194, 229);
    addHelpPiece(MakeKind(3, true, true, false), 170, 253);
    Game* game = m_context->game;
    if (game && game->board()) game->board()->setActive(false);
    m_bandsVisible = true;
}

void Screens::buildOptions() {
    Game* game = m_context->game;
    LONG y;
    if (game && game->state() != kStateNoGame) {
        buildHeadBar();
        y = kOptionsTopOverGame;
    } else {
        placeTitleStrips();
        y = kOptionsTop;
    }
    m_englishFlag = GetLanguage() == kLangEnglish ? 1 : 0;
    y = BottomOf(addCheckButton(kCmdAdvancedStart, &m_settings->advancedStart, 6, y), y) + kCheckGap;
    y = BottomOf(addCheckButton(kCmdSoundEffects, &m_settings->soundEffects, 0, y), y) + kCheckGap;
    y = BottomOf(addCheckButton(kCmdMusic, &m_settings->music, 2, y), y) + kCheckGap;
    y = BottomOf(addCheckButton(kCmdLanguage, &m_englishFlag, 4, y), y) + kCheckGap;
    addButton(kCmdOptionsDone, kLabelDone, y + kDoneGap);
    m_bandsVisible = true;
}

void Screens::buildPause() {
    buildHeadBar();
    const int labels[] = {kLabelResume, kLabelOptions, kLabelHelp, kLabelEndGame, kLabelExit};
    const DWORD ids[] = {kCmdResume, kCmdOptions, kCmdHelp, kCmdEndGame, kCmdExit};
    addButtonColumn(labels, ids, 5, kPauseTop);
    m_bandsVisible = true;
    music(false);
}

void Screens::buildGame() { buildHeadBar(); }

void Screens::buildHighScores() {
    const GraphicsSet* g = m_context->graphics;
    const LanguagePart& part = g->currentPart();
    LONG width = m_context->window->GetWidth();
    const int labels[] = {kLabelPostScores, kLabelScoresPage, kLabelDone};
    const DWORD ids[] = {kCmdPostScores, kCmdScoresPage, kCmdScoresDone};
    LONG y = kScoresButtonsTop;
    for (int i = 0; i < 3; i++) {
        Graphic* label = GraphicsSet::tile(part, kPicButtonLabels, 2 * labels[i]);
        if (!label) continue;
        if (ids[i] == kCmdScoresDone) {
            addButton(ids[i], labels[i], y, true, kScoresLabelX);
        } else {
            RECT rect = {0, y, width, y + label->GetHeight()};
            addSimpleButton(ids[i], label, GraphicsSet::tile(part, kPicButtonLabels, 2 * labels[i] + 1), rect,
                            kScoresLabelX);
        }
        y += label->GetHeight() - kScoresButtonsOverlap;
    }
    Graphic* title = part.pictures[kPicScoresTitle].picture;
    m_scoresTitle = placeImage(title, 0, 0, kScoresDepth);
    m_scoresRule = placeImage(part.scoresRule, 0, kScoresRuleTop, kScoresDepth);
    m_scoresPicture =
        placeImage(part.pictures[kPicScoresPicture].picture, 0, kScoresPictureTop, kScoresDepth);
    Graphic* digit = g->tile(kPicScoreDigits, 0);
    LONG top = (title ? title->GetHeight() : 0) + kListGap;
    RECT list = {kListMargin, top, width - kListMargin,
                 top + kHighScoreCount * (digit ? digit->GetHeight() : 0)};
    m_list = placePainted(ListCallback, list, kScoresDepth);
    m_bandsVisible = true;
}

void Screens::buildHeadBar() {
    const GraphicsSet* g = m_context->graphics;
    m_headBar = placeImage(g->picture(kPicHeadBar), 0, 0, kHeadBarDepth);
    Graphic* menu = g->tile(kPicMenuButton, 0);
    if (menu) {
        LONG x = m_context->window->GetWidth() - menu->GetWidth() - kMenuButtonMargin;
        RECT rect = {x, kMenuButtonMargin, x + menu->GetWidth(), kMenuButtonMargin + menu->GetHeight()};
        m_menuButton = addSimpleButton(kCmdMenu, menu, g->tile(kPicMenuButton, 1), rect, 0);
    }
    m_progress = placePainted(ProgressCallback, kProgressRect, kHeadBarPartsDepth);
    Graphic* digit = g->tile(kPicScoreDigits, 0);
    if (digit) {
        RECT score = {kScoreLeft, kScoreTop, kScoreLeft + kScoreDigits * digit->GetWidth(),
                      kScoreTop + digit->GetHeight()};
        m_scoreDisplay = placePainted(ScoreCallback, score, kHeadBarPartsDepth);
    }
}

void Screens::repaintScore() {
    if (m_scoreDisplay) m_scoreDisplay->Invalidate();
}

void Screens::repaintProgress() {
    if (m_progress) m_progress->Invalidate();
}

void Screens::saveRecords() {
    if (m_settings) SaveSettings(*m_settings);
    if (m_context->highScores) SaveHighScores(*m_context->highScores);
}

int Screens::objectCount() const {
    int n = 0;
    for (AnimObject* o = m_context->window->GetFirstObject(); o; o = m_context->window->GetNextObject(o)) n++;
    return n;
}

// ---- Frame effects -------------------------------------------------------

int Screens::random() const { return m_context->generator ? m_context->generator->draw() : rand(); }

void Screens::moveBands() {
    AnimWindow* window = m_context->window;
    for (int k = 0; k < kBandCount; k++) {
        ShimmerBand& band = m_bands[k];
        RECT old = band.rect;
        band.rect.left += band.speed;
        band.rect.right += band.speed;
        bool reached = band.speed > 0 ? band.rect.left >= band.target : band.rect.right <= band.target;
        if (band.speed == 0 || reached) {
            LONG step = random() % 5 + 1;
            band.speed = band.speed > 0 ? -step : step;
            band.rect.right = band.rect.left + 4 + 4 * k;
            band.rect.bottom = kBandBottom;
            // The new target lies ahead of the band. Far drawing is bounded: when no value ahead exists
            // within the window (a band pushed past an edge) the nearest edge ahead serves.
            LONG width = window->GetWidth() > 0 ? window->GetWidth() : 240;
            bool found = false;
            for (int tries = 0; tries < 1000 && !found; tries++) {
                band.target = random() % width;
                found = band.speed > 0 ? band.target >= band.rect.right : band.target <= band.rect.left;
            }
            if (!found) band.target = band.speed > 0 ? band.rect.right : band.rect.left;
        }
        RECT now = band.rect;
        if (m_bandsVisible) {
            window->Invalidate(&old, FALSE);
            window->Invalidate(&now, FALSE);
        } else if (m_menuButton) {
            if (old.bottom > kBandsTopStrip) old.bottom = kBandsTopStrip;
            if (now.bottom > kBandsTopStrip) now.bottom = kBandsTopStrip;
            window->Invalidate(&old, FALSE);
            window->Invalidate(&now, FALSE);
        }
    }
}

void Screens::menuHints() {
    if (!m_menuButton) return;
    Game* game = m_context->game;
    if (!game || (game->state() != kStateChangingLevel && game->state() != kStatePlaying)) return;
    const GraphicsSet* g = m_context->graphics;
    DWORD phase = m_context->window->GetFrame() % kHintCycle;
    Graphic *picture, *highlight;
    if (phase >= kSecondHintFrom) {
        picture = highlight = GraphicsSet::tile(g->currentPart(), kPicMenuHints, 1);
    } else if (phase >= kFirstHintFrom) {
        picture = highlight = GraphicsSet::tile(g->currentPart(), kPicMenuHints, 0);
    } else {
        picture = g->tile(kPicMenuButton, 0);
        highlight = g->tile(kPicMenuButton, 1);
    }
    if (!picture) return;
    if (picture == m_menuButton->label && highlight == m_menuButton->highlight) return;
    m_menuButton->label = picture;
    m_menuButton->highlight = highlight;
    m_menuButton->button->Refresh();
}

Graphic* Screens::menuButtonPicture() const { return m_menuButton ? m_menuButton->label : nullptr; }

void Screens::frameEffects() {
    moveBands();
    if (m_context->game) m_context->game->menuBoardFrame();
    if (m_helpChanger && m_context->window->GetFrame() % kChangerTurnFrames == 0)
        Board::RotatePieceColour(m_helpChanger);
    menuHints();
}

// ---- Commands and the press animation ------------------------------------

void Screens::playClick() {
    if (m_context->sounds) m_context->sounds->play(kSoundClick);
}

void Screens::music(bool on) {
    if (m_context->sounds) m_context->sounds->music(on);
}

void Screens::postCommand(DWORD id, AnimButton* button, bool send) {
    HWND target = commandWindow();
    if (!target) return;
    WPARAM wParam = MAKEWPARAM(id, BN_CLICKED);
    if (send)
        SendMessage(target, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(button));
    else
        PostMessage(target, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(button));
}

void Screens::onButtonCommand(AnimButton* button) {
    ScreenButton* rec = record(button);
    if (!rec) return;
    DWORD id = button->GetId();
    if (IsCheckCommand(id)) {
        static_cast<CheckButton*>(button)->flip();
        playClick();
        if (id == kCmdLanguage) {
            SetLanguage(m_englishFlag ? kLangEnglish : kLangEsperanto);
            // The button that was clicked goes with the old screen.
            rebuildScreen();
        } else if (id == kCmdMusic) {
            music(m_settings->music != 0);
        }
        return;
    }
    if (id == kCmdMenu || id == kCmdPostScores || id == kCmdScoresPage) {
        playClick();
        // The dialog may change the screen, which destroys this button: nothing of it is used after.
        postCommand(id, button, true);
        return;
    }
    startPress(button);
}

void Screens::startPress(AnimButton* button) {
    AnimWindow* window = m_context->window;
    m_pressed = button;
    m_pressStep = 0;
    enableButtons(false);
    DWORD now = window->GetFrame();
    for (int step = 1; step <= kPressSteps; step++)
        window->ScheduleEvent(now + step, kEventButtonPress, step);
    window->Invalidate(nullptr, FALSE);
}

void Screens::pressStep(int step) {
    AnimButton* button = m_pressed;
    if (!button || step < 1 || step > kPressSteps) return;
    m_pressStep = step;
    button->Refresh();
    DWORD id = button->GetId();
    if (step == 1) {
        if (id == kCmdNewGame || id == kCmdExit) music(false);
        if (id != kCmdExit) playClick();
    }
    if (step == kPressSteps) {
        if (id == kCmdNewGame || id == kCmdHelp || id == kCmdHighScores || id == kCmdExit) {
            if (m_context->game) m_context->game->destroyMenuBoard();
        }
        if (id == kCmdHelpDone && m_context->game && m_context->game->board())
            m_context->game->board()->setActive(true);
        if (id >= kCmdNewGame && id <= kCmdHelpDone) postCommand(id, button, false);
    }
}
