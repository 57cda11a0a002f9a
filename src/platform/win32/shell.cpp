#include "platform/shell.h"

#include <windows.h>
// After windows.h, which they build on.
#include <objbase.h>
#include <shellapi.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/command_line.h"
#include "platform/program_search.h"
#include "platform/win32/errors.h"
#include "platform/win32/handle.h"
#include "platform/win32/inherited_handles.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

// Creates the process; a job we run in (a launcher's, a test runner's) may end everything in
// it when it closes, so the program leaves it where the job allows that.
bool createDetached(const std::wstring& program, std::wstring& commandLine,
                    const std::wstring& folder, STARTUPINFOEXW& startup,
                    PROCESS_INFORMATION& created) {
    DWORD flags = CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    const bool inherit = startup.lpAttributeList != nullptr;
    if (inherit) flags |= EXTENDED_STARTUPINFO_PRESENT;
    const wchar_t* current = folder.empty() ? nullptr : folder.c_str();
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherit,
                         flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, current, &startup.StartupInfo,
                         &created)) {
        return true;
    }
    if (::GetLastError() != ERROR_ACCESS_DENIED) return false;
    return ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherit, flags,
                            nullptr, current, &startup.StartupInfo, &created);
}

}  // namespace

Result<> startDetached(const std::vector<std::string>& argv, const std::string& workingFolder,
                       const std::string& outputFile) {
    if (argv.empty() || isCommandScript(argv[0])) return fail(EINVAL, "no program");
    const std::optional<std::string> line = joinCommandLine(argv);
    if (!line) return fail(EINVAL, "join the command line");
    std::wstring commandLine = win32::toWide(*line);

    // Without an output file the program talks to its own new console window, input
    // included: that window is the owner's, not ours. With one, its output is appended to the
    // file and it reads nothing.
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    win32::OwnedHandle output, noInput;
    std::optional<win32::InheritedHandles> inherited;
    if (!outputFile.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output = win32::OwnedHandle(
            ::CreateFileW(win32::widePath(outputFile).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) return win32::failLastError("open the output file");
        noInput = win32::OwnedHandle(::CreateFileW(L"NUL", GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                   OPEN_EXISTING, 0, nullptr));
        if (!noInput) return win32::failLastError("open NUL");
        inherited.emplace({output.get(), noInput.get()});
        if (!inherited->list()) return win32::failLastError("list the inherited handles");
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = noInput.get();
        startup.StartupInfo.hStdOutput = output.get();
        startup.StartupInfo.hStdError = output.get();
        startup.lpAttributeList = inherited->list();
    }
    PROCESS_INFORMATION created{};
    if (!createDetached(win32::toWide(argv[0]), commandLine, win32::toWide(workingFolder), startup,
                        created)) {
        return win32::failLastError("start the program");
    }
    ::CloseHandle(created.hThread);
    ::CloseHandle(created.hProcess);
    return {};
}

void shellOpen(const std::string& target) {
    if (target.empty()) return;
    // Some handlers the shell hands a target to are COM objects; a thread of ours that has
    // no apartment yet gets one for the call.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring file = win32::toWide(target);
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    // No error dialog: a folder that does not exist simply does not open. The call returns
    // once the shell is done with it, so the thread may end at once.
    open.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    open.lpVerb = L"open";
    open.lpFile = file.c_str();
    open.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&open);
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace platform
