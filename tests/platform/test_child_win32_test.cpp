// The roles this test program plays as a child of the process tests (test_child_win32.h).
// Each writes with WriteFile on the standard handles: it runs before the C++ streams are set
// up, and nothing may buffer what the tests compare byte for byte.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "test_child_win32.h"

// The C runtime's own split of the command line, which a mingw or MSVC program's argv gets.
extern "C" int __wgetmainargs(int*, wchar_t***, wchar_t***, int, int*);

namespace {

using platform::win32::fromWide;
using platform::win32::toWide;

void put(DWORD stream, const std::string& bytes) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                nullptr);
}

void out(const std::string& bytes) {
    put(STD_OUTPUT_HANDLE, bytes);
}

unsigned number(const std::string& text) {
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
}

void writeWhole(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// Starts this program in a role, its output on our own standard handles; its process id.
DWORD startSharingOutput(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& a : argv)
        line += (line.empty() ? L"\"" + toWide(a) + L"\"" : L" " + toWide(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &created)) {
        return 0;
    }
    ::CloseHandle(created.hThread);
    ::CloseHandle(created.hProcess);
    return created.dwProcessId;
}

bool processEnded(DWORD pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    const bool ended = ::WaitForSingleObject(process, 2000) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

std::string readWhole(const std::string& path) {
    HANDLE file = ::CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[256];
    DWORD n = 0;
    std::string text;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    ::CloseHandle(file);
    return text;
}

// In a process of its own, since after it no child of that process can run: the runner that
// is waiting, its child and grandchild all end, and so does a child started afterwards.
int endChildren(const std::string& pidFile) {
    std::thread runner([&pidFile] {
        platform::runCaptured(testChild({"spawn", pidFile, "60000", "60000"}), 60000);
    });
    DWORD grandchild = 0;
    for (int i = 0; i < 500 && grandchild == 0; ++i) {
        ::Sleep(10);
        grandchild = number(readWhole(pidFile));
    }
    const ULONGLONG start = ::GetTickCount64();
    platform::endRunningChildren();
    runner.join();
    const bool quick = ::GetTickCount64() - start < 5000;
    const bool grandchildEnded = grandchild != 0 && processEnded(grandchild);
    const ULONGLONG lateStart = ::GetTickCount64();
    const std::string late = platform::runCaptured(testChild({"sleep", "60000", "late"}), 60000);
    const bool lateEnded = late.empty() && ::GetTickCount64() - lateStart < 5000;
    out(std::string(quick ? "quick " : "slow ") +
        (grandchildEnded ? "grandchild-ended " : "grandchild-runs ") +
        (lateEnded ? "late-ended" : "late-ran"));
    return 0;
}

int playRole(const std::vector<std::wstring>& args, const std::vector<std::string>& given) {
    const std::wstring& role = args[0];
    if (role == L"echo" || role == L"echo-crt") {
        std::vector<std::wstring> parsed;
        if (role == L"echo") {
            parsed.assign(args.begin() + 1, args.end());
        } else {
            int argc = 0, mode = 0;
            wchar_t** argv = nullptr;
            wchar_t** env = nullptr;
            __wgetmainargs(&argc, &argv, &env, 0, &mode);
            for (int i = 3; i < argc; ++i)
                parsed.emplace_back(argv[i]);
        }
        for (const std::wstring& a : parsed)
            out(fromWide(a) + std::string(1, '\0'));
    } else if (role == L"interleave") {
        for (unsigned i = 0; i < number(given[1]); ++i) {
            out("out" + std::to_string(i) + "\n");
            put(STD_ERROR_HANDLE, "err" + std::to_string(i) + "\n");
        }
    } else if (role == L"bytes") {
        out(std::string("a\0b\xff\xfe\r\nc", 8));
    } else if (role == L"stdin") {
        char buffer[64];
        DWORD n = 0;
        while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) &&
               n > 0) {
        }
        out("finished\n");
    } else if (role == L"sleep") {
        ::Sleep(number(given[1]));
        if (given.size() > 2) out(given[2] + "\n");
    } else if (role == L"spawn") {
        // spawn <pid file> <grandchild ms> <own ms>: a grandchild that shares our output.
        const DWORD grandchild = startSharingOutput(testChild({"sleep", given[2], "late"}));
        writeWhole(given[1],
                   std::to_string(grandchild) + " " + std::to_string(::GetCurrentProcessId()));
        out("before\n");
        ::Sleep(number(given[3]));
    } else if (role == L"close-output") {
        out("bye\n");
        ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        if (::GetStdHandle(STD_ERROR_HANDLE) != ::GetStdHandle(STD_OUTPUT_HANDLE)) {
            ::CloseHandle(::GetStdHandle(STD_ERROR_HANDLE));
        }
        ::Sleep(number(given[1]));
    } else if (role == L"write-file") {
        // write-file <path> <bytes>, in 64 KiB writes as an archiver does.
        HANDLE file = ::CreateFileW(args[1].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
        std::string block(1 << 16, 'x');
        for (unsigned long long left = std::strtoull(given[2].c_str(), nullptr, 10); left > 0;) {
            const DWORD n = static_cast<DWORD>(std::min<unsigned long long>(left, block.size()));
            DWORD written = 0;
            if (!::WriteFile(file, block.data(), n, &written, nullptr)) break;
            left -= written;
        }
        ::CloseHandle(file);
        out("done\n");
    } else if (role == L"end-children") {
        return endChildren(given[1]);
    } else if (role == L"where") {
        // where <file>: appends the current folder and the arguments to the named file, or
        // prints them when the file is "-".
        wchar_t folder[MAX_PATH * 4];
        const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
        std::string line = fromWide(std::wstring_view(folder, length));
        for (std::size_t i = 2; i < given.size(); ++i)
            line += "|" + given[i];
        if (given[1] == "-") {
            out(line + "\n");
        } else {
            writeWhole(given[1], line);
        }
    } else {
        return 2;
    }
    return 0;
}

// Runs before main: a child never reaches the tests.
const bool playedRole = [] {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 3 || std::wstring_view(argv[1]) != L"--test-child") return false;
    std::vector<std::wstring> args(argv + 2, argv + argc);
    std::vector<std::string> given;
    for (const std::wstring& a : args)
        given.push_back(fromWide(a));
    ::ExitProcess(static_cast<UINT>(playRole(args, given)));
}();

}  // namespace

std::string testProgramPath() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return fromWide(path);
}

std::vector<std::string> testChild(std::initializer_list<std::string> roleAndArguments) {
    std::vector<std::string> argv = {testProgramPath(), "--test-child"};
    argv.insert(argv.end(), roleAndArguments);
    return argv;
}
