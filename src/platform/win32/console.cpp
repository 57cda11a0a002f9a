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

void useBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Only matters when a person runs the tool in a console window; pipes carry bytes as they
    // are.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

}  // namespace platform::win32
