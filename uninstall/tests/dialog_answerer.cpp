// Test driver: answers the message boxes of one process. Usage:
//   dialog_answerer <process id> <answers> <timeout ms> <report file>
// <answers> is a comma-separated list of button names (yes, no, ok, cancel), one per message box in
// order. For each message box (a top-level window of class "#32770" owned by the process) it writes the
// box's caption and text as one UTF-8 line "caption|text" to the report file, then posts the button's
// WM_COMMAND. It ends when the process ends or the time-out passes (exit code 2), so that no run ever
// waits for a person.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char cls[64] = {0};
    GetClassNameA(window, cls, sizeof cls);
    if (owner == search->process && strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
    wchar_t cls[64] = {0};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        wchar_t text[2048] = {0};
        GetWindowTextW(child, text, 2048);
        if (text[0]) *reinterpret_cast<std::wstring*>(parameter) += text;
    }
    return TRUE;
}

WPARAM Button(const std::string& name) {
    if (name == "yes") return IDYES;
    if (name == "no") return IDNO;
    if (name == "cancel") return IDCANCEL;
    return IDOK;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: dialog_answerer <pid> <answers> <timeout ms> <report file>\n");
        return 1;
    }
    DWORD pid = strtoul(argv[1], nullptr, 10);
    std::vector<std::string> answers;
    std::string list = argv[2];
    for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) answers.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    DWORD timeout = strtoul(argv[3], nullptr, 10);
    FILE* report = fopen(argv[4], "wb");
    if (!report) return 1;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    DWORD start = GetTickCount();
    size_t answered = 0;
    HWND last = nullptr;
    DWORD lastTime = 0;
    WPARAM lastButton = IDOK;
    int result = 2;
    while (GetTickCount() - start < timeout) {
        if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            result = 0;
            break;
        }
        Search search = {pid, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found && search.found != last) {
            // Let the box finish showing before reading and answering it.
            Sleep(100);
            wchar_t caption[512] = {0};
            GetWindowTextW(search.found, caption, 512);
            std::wstring text;
            EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&text));
            std::string line = Utf8(caption) + "|" + Utf8(text) + "\n";
            fwrite(line.data(), 1, line.size(), report);
            fflush(report);
            std::string answer = answered < answers.size() ? answers[answered] : "ok";
            ++answered;
            lastButton = Button(answer);
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(lastButton, BN_CLICKED), 0);
            last = search.found;
            lastTime = GetTickCount();
        } else if (search.found && GetTickCount() - lastTime > 1500) {
            // An answer that came too early to be seen: the same box still waits, so say it again.
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(lastButton, BN_CLICKED), 0);
            lastTime = GetTickCount();
        }
        Sleep(50);
    }
    fclose(report);
    if (process) CloseHandle(process);
    return result;
}
