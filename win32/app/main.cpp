// The program's entry point. A stand-in until the Win32 windows are built on this front-end: it
// runs and ends at once, so that the executable, its resources and its packages can be built
// and tested already.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
