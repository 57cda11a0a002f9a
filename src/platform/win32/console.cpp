#include "platform/win32/console.h"

// windows.h first: shellapi.h builds on its types.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/win32/wide.h"

namespace platform::win32 {

std::vector<std::string> commandLineArguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i)
        args.push_back(fromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void useParentConsole() {
    struct Stream {
        DWORD which;
        FILE* file;
        const char* device;
        const char* mode;
    };
    const Stream streams[] = {{STD_INPUT_HANDLE, stdin, "CONIN$", "r"},
                              {STD_OUTPUT_HANDLE, stdout, "CONOUT$", "w"},
                              {STD_ERROR_HANDLE, stderr, "CONOUT$", "w"}};
    bool attached = false;
    for (const Stream& stream : streams) {
        const HANDLE given = GetStdHandle(stream.which);
        if (given != nullptr && given != INVALID_HANDLE_VALUE) continue;
        if (!attached && !AttachConsole(ATTACH_PARENT_PROCESS)) return;
        attached = true;
        (void)freopen(stream.device, stream.mode, stream.file);
    }
}

void useBinaryStandardStreams() {
    // A window started from the desktop has no streams at all; the C runtime must not be
    // handed a descriptor that is not open.
    for (FILE* stream : {stdin, stdout, stderr}) {
        const int descriptor = _fileno(stream);
        if (descriptor >= 0 && _get_osfhandle(descriptor) != -1) _setmode(descriptor, _O_BINARY);
    }
    // Only matters when a person runs the tool in a console window; pipes carry bytes as they
    // are.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

}  // namespace platform::win32
