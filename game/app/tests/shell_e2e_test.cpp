// End-to-end tests of the game program: the real test build of vexlin.exe is
// started, driven by posted stylus taps through its zoom, and judged by its
// windows, its published screen and the registry values it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "game_driver.h"

using namespace game_driver;

namespace {

void CheckDefaultSettings(const std::vector<BYTE>& settings) {
    ASSERT_EQ(20u, settings.size());
    EXPECT_EQ(kVersion, Word(settings, 0));
    EXPECT_EQ(1u, Word(settings, 1)); // sound effects
    EXPECT_EQ(1u, Word(settings, 2)); // music
    EXPECT_EQ(0u, Word(settings, 3)); // advanced start
    EXPECT_EQ(TodayDayNumber(), Word(settings, 4));
}

class ShellEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteGameValues();
        SetLanguage(L"EN");
    }
};

TEST_F(ShellEndToEnd, FirstStartShowsHelpWithSoundAndMusicAndWritesBothRecords) {
    GameRun run;
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.window());
    EXPECT_TRUE(run.waitScreen(2));
    CheckDefaultSettings(ReadValue(L"Settings"));
    std::vector<BYTE> scores = ReadValue(L"HighScores");
    ASSERT_EQ(148u, scores.size());
    EXPECT_EQ(70000u, Word(scores, 1));
    // Done on the help screen leads to the main menu when no game runs.
    run.tap(kHelpDone.x, kHelpDone.y);
    EXPECT_TRUE(run.waitScreen(1));
    PostMessageW(FindTopWindow(run.id(), nullptr), WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.exited(10000));
}

TEST_F(ShellEndToEnd, SecondStartRaisesTheFirstAndLeaves) {
    WriteSettings(1, 1, 0);
    GameRun first;
    HWND window = first.window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(first.waitScreen(1));
    // Something else takes the front.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    Sleep(300);
    GameRun second;
    ASSERT_TRUE(second.started());
    EXPECT_TRUE(second.exited(10000));
    EXPECT_FALSE(FindTopWindow(second.id(), nullptr));
    bool front = false;
    for (int i = 0; i < 100 && !front; i++) {
        front = GetForegroundWindow() == window;
        Sleep(50);
    }
    EXPECT_TRUE(front);
    DestroyWindow(other);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(first.exited(10000));
}

TEST_F(ShellEndToEnd, GamePlayedByTapsEndsInTheHighScoreTableAndTheRegistry) {
    // Advanced start (7500 points) against a table of zero scores: any game enters it.
    WriteSettings(1, 1, 1);
    WriteValue(L"HighScores", Record(kVersion, std::vector<DWORD>(36, 0)));
    GameRun run(L"vexlin_test.exe", 1, true);
    ASSERT_TRUE(run.window());
    ASSERT_TRUE(run.waitScreen(1));
    run.tap(kNewGame.x, kNewGame.y);
    ASSERT_TRUE(run.waitScreen(5));
    // Every piece is of one colour, so a tap on the bottom row removes a group.
    for (int i = 0; i < 100 && run.state() != 1; i++) Sleep(50);
    run.tap(kBoardBottom.x, kBoardBottom.y);
    // The rows keep dropping until a column is full.
    // A tap after the game-over banner's first frames leads on.
    for (int i = 0; i < 1200 && run.state() != 3; i++) Sleep(50);
    ASSERT_EQ(3, run.state());
    for (int i = 0; i < 40 && run.screen() != 6; i++) {
        Sleep(250);
        run.tap(kBoardBottom.x, kBoardBottom.y);
    }
    ASSERT_TRUE(run.waitScreen(6));
    std::vector<BYTE> scores = ReadValue(L"HighScores");
    ASSERT_EQ(148u, scores.size());
    HighScoreEntry entry;
    memcpy(&entry, scores.data() + 4, sizeof(entry));
    EXPECT_GT(entry.score, 7500u);
    EXPECT_EQ(TodayDayNumber(), entry.date);
    EXPECT_NE(0u, entry.check);
    EXPECT_EQ(HighScoreChecksum(entry), entry.check);
    PostMessageW(FindTopWindow(run.id(), nullptr), WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.exited(10000));
}

TEST_F(ShellEndToEnd, DeactivationPausesAndExitFromThePauseMenuWritesTheRecords) {
    WriteSettings(0, 1, 0);
    GameRun run;
    HWND window = run.window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(run.waitScreen(1));
    run.tap(kNewGame.x, kNewGame.y);
    ASSERT_TRUE(run.waitScreen(5));
    for (int i = 0; i < 100 && run.state() != 1; i++) Sleep(50);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(run.waitScreen(4));
    EXPECT_EQ(2, run.state());
    // Deactivated again on the pause menu: nothing changes.
    SetForegroundWindow(window);
    Sleep(300);
    SetForegroundWindow(other);
    Sleep(500);
    EXPECT_EQ(4, run.screen());
    EXPECT_EQ(2, run.state());
    DestroyWindow(other);
    // The records go away; the exit must write them again.
    DeleteGameValues();
    run.tap(kPauseExit.x, kPauseExit.y);
    EXPECT_TRUE(run.exited(10000));
    std::vector<BYTE> settings = ReadValue(L"Settings");
    ASSERT_EQ(20u, settings.size());
    EXPECT_EQ(0u, Word(settings, 1));
    EXPECT_EQ(1u, Word(settings, 2));
    EXPECT_EQ(DayNumber(2020, 1, 1), Word(settings, 4));
    EXPECT_EQ(148u, ReadValue(L"HighScores").size());
}

TEST_F(ShellEndToEnd, MissingPictureShowsTheGraphicsMessageAndEnds) {
    GameRun run(L"vexlin_missing_picture.exe");
    ASSERT_TRUE(run.started());
    HWND box = nullptr;
    for (int i = 0; i < 400 && !box; i++) {
        box = FindTopWindow(run.id(), L"Error - Vexlin");
        if (!box) Sleep(50);
    }
    ASSERT_TRUE(box);
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    EXPECT_NE(nullptr, wcsstr(text, L"Vexlin was unable to load graphics appropriate for this device."));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(run.exited(10000));
    EXPECT_FALSE(FindTopWindow(run.id(), nullptr));
}

// Closed while the splash still shows: the program ends quietly, no message, the records still written.
TEST_F(ShellEndToEnd, ClosingDuringTheSplashEndsQuietly) {
    GameRun run;
    HWND window = nullptr;
    for (int i = 0; i < 400 && !window; i++) {
        window = FindTopWindow(run.id(), nullptr);
        if (!window) Sleep(10);
    }
    ASSERT_TRUE(window);
    Sleep(300);
    EXPECT_FALSE(GetPropW(window, L"VexlinScreen")); // still the splash
    DeleteGameValues();
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.exited(10000));
    EXPECT_FALSE(FindTopWindow(run.id(), L"Error - Vexlin"));
    EXPECT_EQ(20u, ReadValue(L"Settings").size());
    EXPECT_EQ(148u, ReadValue(L"HighScores").size());
}

// Values the game cannot read give the defaults, written back, with no message.
TEST_F(ShellEndToEnd, CorruptRecordsGiveTheDefaults) {
    const std::vector<std::vector<BYTE>> corrupt = {
        {1, 0},                                           // shorter than the version word
        Record(0x00020000, {0, 0, 1, 5}),                 // another major version
        {0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8}, // random bytes
    };
    for (const auto& bytes : corrupt) {
        WriteValue(L"Settings", bytes);
        WriteValue(L"HighScores", bytes);
        GameRun run;
        ASSERT_TRUE(run.window());
        EXPECT_TRUE(run.waitScreen(2)); // a first run: help first
        CheckDefaultSettings(ReadValue(L"Settings"));
        std::vector<BYTE> scores = ReadValue(L"HighScores");
        ASSERT_EQ(148u, scores.size());
        EXPECT_EQ(70000u, Word(scores, 1));
        EXPECT_FALSE(FindTopWindow(run.id(), L"Error - Vexlin"));
        PostMessageW(FindTopWindow(run.id(), nullptr), WM_CLOSE, 0, 0);
        EXPECT_TRUE(run.exited(10000));
    }
}

// The client area of the game's window as the screen shows it, 32-bit pixels row by row.
std::vector<DWORD> CaptureClient(HWND dialog, int* width, int* height) {
    HWND control = GetDlgItem(dialog, 1001);
    RECT client;
    GetClientRect(control, &client);
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    *width = client.right;
    *height = client.bottom;
    std::vector<DWORD> pixels(static_cast<size_t>(*width) * *height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = *width;
    info.bmiHeader.biHeight = -*height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (DWORD& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

// A 32-bit top-down BMP of captured pixels, for looking at.
bool SaveBmp(const std::wstring& path, const std::vector<DWORD>& pixels, int width, int height) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    DWORD bytes = static_cast<DWORD>(pixels.size() * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + bytes;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
              WriteFile(out, &info, sizeof(info), &written, nullptr) &&
              WriteFile(out, pixels.data(), bytes, &written, nullptr);
    CloseHandle(out);
    return ok;
}

class ShellZoom : public ShellEndToEnd, public ::testing::WithParamInterface<int> {};

// At every zoom a tap on the first button's top row presses it; one screen
// pixel above (the last row of the title strip) does not.
TEST_P(ShellZoom, TapsMapThroughTheZoom) {
    int zoom = GetParam();
    WriteSettings(0, 0, 0);
    GameRun run(L"vexlin_test.exe", zoom);
    HWND window = run.window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(run.waitScreen(1));
    EXPECT_EQ(zoom, run.zoom());
    RECT client;
    GetClientRect(GetDlgItem(window, 1001), &client);
    EXPECT_EQ(240 * zoom, client.right);
    EXPECT_EQ(294 * zoom, client.bottom);
    run.tapPixel(120 * zoom, 60 * zoom - 1);
    Sleep(800);
    EXPECT_EQ(1, run.screen());
    run.tapPixel(120 * zoom + zoom - 1, 60 * zoom);
    EXPECT_TRUE(run.waitScreen(5));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.exited(10000));
}

INSTANTIATE_TEST_SUITE_P(Zooms, ShellZoom, ::testing::Values(1, 2, 3));

// The screen at zoom 2 is the zoom-1 picture with every pixel doubled. The
// title strip at the top holds still, so both runs show it alike.
TEST_F(ShellEndToEnd, ZoomTwoDoublesEveryPixel) {
    WriteSettings(0, 0, 0);
    std::vector<DWORD> single, twice;
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    for (int zoom = 1; zoom <= 2; zoom++) {
        GameRun run(L"vexlin_test.exe", zoom);
        HWND window = run.window();
        ASSERT_TRUE(window);
        ASSERT_TRUE(run.waitScreen(1));
        Sleep(500);
        (zoom == 1 ? single : twice) = CaptureClient(window, zoom == 1 ? &w1 : &w2, zoom == 1 ? &h1 : &h2);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(run.exited(10000));
    }
    ASSERT_EQ(240, w1);
    ASSERT_EQ(480, w2);
    SaveBmp(ProgramPath(L"zoom-1.bmp"), single, w1, h1);
    SaveBmp(ProgramPath(L"zoom-2.bmp"), twice, w2, h2);
    int differences = 0, coloured = 0;
    RECT where = {1000, 1000, -1, -1};
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 240; x++) {
            DWORD p = single[y * 240 + x];
            if (p) coloured++;
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++)
                    if (twice[(2 * y + dy) * 480 + 2 * x + dx] != p) {
                        differences++;
                        where.left = std::min<LONG>(where.left, x);
                        where.right = std::max<LONG>(where.right, x);
                        where.top = std::min<LONG>(where.top, y);
                        where.bottom = std::max<LONG>(where.bottom, y);
                    }
        }
    if (differences)
        printf("differences in (%ld, %ld)-(%ld, %ld)\n", where.left, where.top, where.right, where.bottom);
    EXPECT_GT(coloured, 1000); // the strip was on the screen, not a blank capture
    EXPECT_EQ(0, differences);
    // Everywhere, moving parts included, each composed pixel is a uniform 2 x 2 square: no smoothing.
    int mixed = 0;
    for (int y = 0; y < 294; y++)
        for (int x = 0; x < 240; x++) {
            DWORD p = twice[(2 * y) * 480 + 2 * x];
            if (twice[(2 * y) * 480 + 2 * x + 1] != p || twice[(2 * y + 1) * 480 + 2 * x] != p ||
                twice[(2 * y + 1) * 480 + 2 * x + 1] != p)
                mixed++;
        }
    EXPECT_EQ(0, mixed);
}

// Pictures of the real program at each stage, in both languages, saved as
// BMP files beside the test for looking at; each must show something.
TEST_F(ShellEndToEnd, ScreenshotsOfEveryStageInBothLanguages) {
    const wchar_t* languages[] = {L"EN", L"EO"};
    for (const wchar_t* language : languages) {
        DeleteGameValues();
        SetLanguage(language);
        int shots = 0;
        auto shoot = [&](HWND window, const wchar_t* stage) {
            int w = 0, h = 0;
            std::vector<DWORD> pixels = CaptureClient(window, &w, &h);
            int coloured = 0;
            for (DWORD p : pixels) coloured += p != 0;
            EXPECT_GT(coloured, 2000) << "blank picture at " << std::string(stage, stage + wcslen(stage));
            SaveBmp(ProgramPath((std::wstring(L"shot-") + language + L"-" + stage + L".bmp").c_str()), pixels,
                    w, h);
            shots++;
        };
        GameRun run(L"vexlin_test.exe", 1, true);
        HWND splash = nullptr;
        for (int i = 0; i < 200 && !splash; i++) {
            splash = FindTopWindow(run.id(), nullptr);
            if (!splash) Sleep(25);
        }
        ASSERT_TRUE(splash);
        Sleep(900);
        shoot(splash, L"1-splash");
        HWND window = run.window();
        ASSERT_TRUE(window);
        ASSERT_TRUE(run.waitScreen(2));
        Sleep(600);
        shoot(window, L"2-help");
        run.tap(kHelpDone.x, kHelpDone.y);
        ASSERT_TRUE(run.waitScreen(1));
        Sleep(600);
        shoot(window, L"3-menu");
        run.tap(kNewGame.x, kNewGame.y);
        ASSERT_TRUE(run.waitScreen(5));
        Sleep(3000);
        shoot(window, L"4-game");
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                                     nullptr, nullptr, nullptr);
        SetForegroundWindow(other);
        ASSERT_TRUE(run.waitScreen(4));
        DestroyWindow(other);
        SetForegroundWindow(window);
        Sleep(600);
        shoot(window, L"5-pause");
        run.tap(120, 97); // resume, the first button from y 80
        ASSERT_TRUE(run.waitScreen(5));
        for (int i = 0; i < 1200 && run.state() != 3; i++) Sleep(50);
        EXPECT_EQ(3, run.state());
        Sleep(300);
        shoot(window, L"6-game-over");
        // No score this time: a tap after the banner leads to the main menu, and from there to the table.
        for (int i = 0; i < 40 && run.screen() != 1; i++) {
            Sleep(250);
            run.tap(kBoardBottom.x, kBoardBottom.y);
        }
        ASSERT_TRUE(run.waitScreen(1));
        run.tap(120, 145); // high scores, the third button
        ASSERT_TRUE(run.waitScreen(6));
        Sleep(600);
        shoot(window, L"7-high-scores");
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(run.exited(10000));
        EXPECT_EQ(7, shots);
    }
    SetLanguage(L"EN");
}

} // namespace
