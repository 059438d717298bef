// A hook library for the uninstall tests. It answers OnUninstallBegin with the number in the environment
// variable VEXLIN_HOOK_ANSWER (1 when unset) and appends each call, with the application name, to the file
// named by VEXLIN_HOOK_LOG.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void Note(const char* function, LPCWSTR application) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("VEXLIN_HOOK_LOG", path, MAX_PATH)) return;
    FILE* log = fopen(path, "ab");
    if (!log) return;
    char name[256] = {0};
    WideCharToMultiByte(CP_ACP, 0, application ? application : L"", -1, name, sizeof name - 1, nullptr,
                        nullptr);
    fprintf(log, "%s %s\n", function, name);
    fclose(log);
}

} // namespace

extern "C" __declspec(dllexport) LONG WINAPI OnUninstallBegin(LPCWSTR application) {
    Note("OnUninstallBegin", application);
    char answer[16];
    if (!GetEnvironmentVariableA("VEXLIN_HOOK_ANSWER", answer, sizeof answer)) return 1;
    return atol(answer);
}

extern "C" __declspec(dllexport) LONG WINAPI OnUninstallEnd(LPCWSTR application) {
    Note("OnUninstallEnd", application);
    return 1;
}
