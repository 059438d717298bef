// The skin checker on a skin with faults: every bad value with its member and key, a grid that does not
// divide its picture, a missing required picture and an unreadable one, and nothing rendered.
#include "skin_test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace skintest;

namespace {

// Runs the checker beside this test program on an archive and returns what it printed.
std::string RunChecker(const std::string& archive, DWORD* exitCode) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self);
    folder.resize(folder.find_last_of("\\/") + 1);
    std::string command = "\"" + folder + "skincheck.exe\" \"" + archive + "\"";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "no pipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = start.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return output;
}

TEST(SkinCheck, ReportsEveryFaultWithItsMemberAndKey) {
    Members members = DefaultMembers();
    std::string text(members["skin.txt"].begin(), members["skin.txt"].end());
    members["skin.txt"] =
        Text(text + "\ntext color = #12\nframe border = wide\nMessage titlebar height = 2x\n");
    members.erase("cursor.psp");
    members["pbutton.psp"] = Text("~BK\1 not a picture");
    // An 83-pixel-wide list picture cannot be cut into three columns.
    members.erase("list.psp");
    {
        // A BMP of 83 x 39 pixels.
        Bytes bmp = {'B', 'M'};
        auto put32 = [&](DWORD v) {
            for (int i = 0; i < 4; ++i) bmp.push_back(BYTE(v >> (8 * i)));
        };
        DWORD rowBytes = (83 * 3 + 3) & ~3u;
        put32(54 + rowBytes * 39);
        put32(0);
        put32(54);
        put32(40);
        put32(83);
        put32(39);
        bmp.push_back(1);
        bmp.push_back(0);
        bmp.push_back(24);
        bmp.push_back(0);
        for (int i = 0; i < 6; ++i) put32(0);
        bmp.resize(bmp.size() + rowBytes * 39, 0x40);
        members["list.bmp"] = bmp;
    }
    Bytes zip = Zip(members);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "skincheck-" + std::to_string(GetCurrentProcessId()) + ".zip";
    std::string error;
    ASSERT_TRUE(WriteZipFile(path, zip, &error)) << error;
    DWORD exitCode = 99;
    std::string output = RunChecker(path, &exitCode);
    DeleteFileA(path.c_str());
    EXPECT_EQ(1u, exitCode) << output;
    EXPECT_NE(std::string::npos,
              output.find("FAULT: skin.txt, key \"text color\": unreadable colour \"#12\""))
        << output;
    EXPECT_NE(std::string::npos,
              output.find("FAULT: skin.txt, key \"frame border\": \"wide\" is not a whole number"))
        << output;
    EXPECT_NE(std::string::npos,
              output.find("FAULT: skin.txt, key \"Message titlebar height\": \"2x\" is not a whole number"))
        << output;
    EXPECT_NE(std::string::npos, output.find("FAULT: missing picture \"cursor.psp\"")) << output;
    EXPECT_NE(std::string::npos, output.find("FAULT: pbutton.psp: the picture cannot be read")) << output;
    EXPECT_NE(std::string::npos, output.find("FAULT: missing picture \"pbutton.psp\"")) << output;
    EXPECT_NE(std::string::npos, output.find("FAULT: list.bmp: 83 x 39 does not divide into 3 x 3 cells"))
        << output;
    EXPECT_NE(std::string::npos, output.find("Nothing rendered")) << output;
    EXPECT_EQ(std::string::npos, output.find("Wrote ")) << output;
}

} // namespace
