// The program's start-up on Windows and Windows CE: a GUI-subsystem entry, so
// that no console opens, which hands the run the command line and exits with
// its result.
#include "platform_api.h"
#include "toggle_run.h"

// Windows CE's entry is WinMain with a UTF-16 command line; the desktop's
// UTF-16 entry is wWinMain. Both receive the command line without the program
// name, and neither platform offers more than that in every runtime, so the
// run gets it as its one argument.
#if defined(_WIN32_WCE)
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#endif
{
    WCHAR* arguments[] = {commandLine, NULL};
    return ToggleLamp(1, arguments);
}
