// windows.h first: the entry point's types come from it.
#include <windows.h>

#include "platform/win32/console.h"
#include "shell/run_tool.h"

// The Windows entry. The tool is a windows program, so starting it shows no console window;
// the headless hosts use the streams whoever started them handed over, or that one's console.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::win32::useParentConsole();
    // Messages are UTF-8 bytes with LF line ends, never the console's code page or CR LF.
    platform::win32::useBinaryStandardStreams();
    return runTool(platform::win32::commandLineArguments());
}
