#include "../fake_system.h"

#include <windows.h>

#include <cstdlib>

namespace {

std::string utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

void writeAll(DWORD which, std::string_view text) {
    HANDLE handle = GetStdHandle(which);
    while (!text.empty()) {
        DWORD put = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &put, nullptr)) return;
        text.remove_prefix(put);
    }
}

}  // namespace

void writeStdout(std::string_view text) {
    writeAll(STD_OUTPUT_HANDLE, text);
}

void writeStderr(std::string_view text) {
    writeAll(STD_ERROR_HANDLE, text);
}

std::vector<std::string> programArguments(int, char**) {
    // main's argv is in the ANSI code page; the wide command line holds every character.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(utf8(wide[i]));
    LocalFree(wide);
    return args;
}

long currentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

long startCopy(const std::vector<std::string>& arguments) {
    wchar_t self[MAX_PATH];
    if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return -1;
    // The fakes pass plain words only, so quoting the program's path is all a line needs.
    std::wstring line = L"\"" + std::wstring(self) + L"\"";
    for (const std::string& arg : arguments) {
        int size = MultiByteToWideChar(CP_UTF8, 0, arg.c_str(), -1, nullptr, 0);
        std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
        if (size > 1) MultiByteToWideChar(CP_UTF8, 0, arg.c_str(), -1, wide.data(), size);
        line += L" " + wide;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
        return -1;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<long>(info.dwProcessId);
}

std::optional<std::string> environmentValue(const char* name) {
    std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    return value ? std::optional<std::string>(utf8(value)) : std::nullopt;
}
