// The game program's entry: start-up, then the main dialog until it is gone.
#include <windows.h>

#include "shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    if (ShellStartUp(instance)) ShellRunDialog();
    return 0;
}
