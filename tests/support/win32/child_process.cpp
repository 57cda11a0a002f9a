#include "support/child_process.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cwctype>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/command_line.h"
#include "platform/win32/wide.h"

// Anonymous pipes cannot be polled, so each output pipe has a thread that reads it into a
// shared buffer, and standard input a thread that writes the queued bytes. The threads own
// their pipe ends and a share of the state: a grandchild that keeps a pipe open may keep its
// reader waiting after the object has gone.
namespace {

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::string out, err;
    bool outEnded = false, errEnded = false;
    std::string toWrite;
    bool closeInput = false;
};

void readInto(std::shared_ptr<Shared> shared, HANDLE pipe, bool isErr) {
    char buffer[1 << 16];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> hold(shared->lock);
        (isErr ? shared->err : shared->out).append(buffer, got);
        shared->changed.notify_all();
    }
    CloseHandle(pipe);
    std::lock_guard<std::mutex> hold(shared->lock);
    (isErr ? shared->errEnded : shared->outEnded) = true;
    shared->changed.notify_all();
}

void writeFrom(std::shared_ptr<Shared> shared, HANDLE pipe) {
    bool broken = false;
    for (;;) {
        std::string bytes;
        {
            std::unique_lock<std::mutex> hold(shared->lock);
            shared->changed.wait(hold,
                                 [&] { return !shared->toWrite.empty() || shared->closeInput; });
            if (shared->toWrite.empty()) break;
            bytes.swap(shared->toWrite);
        }
        // A child that stopped reading needs the rest no more.
        DWORD put = 0;
        for (std::size_t at = 0; !broken && at < bytes.size(); at += put) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
            broken = !WriteFile(pipe, bytes.data() + at, chunk, &put, nullptr);
        }
    }
    CloseHandle(pipe);
}

// One inheritable end for the child; the parent's end of a pipe is not inheritable.
struct ChildEnd {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE parent = INVALID_HANDLE_VALUE;
};

ChildEnd connect(ChildProcess::Stream stream, bool childReads, const std::string& file) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    ChildEnd end;
    if (!file.empty()) {
        end.handle = CreateFileW(platform::win32::toWide(file).c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (stream == ChildProcess::Stream::Null) {
        end.handle =
            CreateFileW(L"NUL", childReads ? GENERIC_READ : GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    } else {
        HANDLE read = nullptr, write = nullptr;
        if (CreatePipe(&read, &write, &inherit, 0)) {
            end.handle = childReads ? read : write;
            end.parent = childReads ? write : read;
            SetHandleInformation(end.parent, HANDLE_FLAG_INHERIT, 0);
        }
    }
    return end;
}

bool lessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
}

std::wstring nameOf(const std::wstring& entry) {
    // "=C:=C:\dir" entries keep their leading '='.
    return entry.substr(0, entry.find(L'=', 1));
}

// The child's environment block: ours (unless not inherited) with the options' variables set
// over it; names compare without regard to case, as Windows does.
std::wstring environmentBlock(const ChildProcess::Options& options) {
    std::vector<std::wstring> entries;
    auto overridden = [&](const std::wstring& name) {
        return std::any_of(options.env.begin(), options.env.end(), [&](const auto& pair) {
            std::wstring set = platform::win32::toWide(pair.first);
            return !lessIgnoringCase(set, name) && !lessIgnoringCase(name, set);
        });
    };
    if (options.inheritEnv) {
        wchar_t* block = GetEnvironmentStringsW();
        for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
            std::wstring entry = e;
            if (!overridden(nameOf(entry))) entries.push_back(entry);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : options.env)
        entries.push_back(platform::win32::toWide(name + "=" + value));
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return lessIgnoringCase(nameOf(a), nameOf(b));
    });
    std::wstring block;
    for (const std::wstring& entry : entries)
        block += entry + L'\0';
    block += L'\0';
    return block;
}

}  // namespace

struct ChildProcess::Handles {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    HANDLE process = nullptr;
    bool exited = false;
    int exitCode = -1;
    bool inputOpen = false;
};

ChildProcess::ChildProcess(const Options& options)
    : handles_(std::make_unique<Handles>()), deadline_(Clock::now() + options.timeout) {
    Handles& h = *handles_;
    ChildEnd ends[3] = {connect(options.in, true, {}), connect(options.out, false, {}),
                        connect(options.err, false, options.errFile)};
    bool connected = std::all_of(std::begin(ends), std::end(ends), [](const ChildEnd& e) {
        return e.handle != INVALID_HANDLE_VALUE;
    });

    std::vector<std::string> argv{options.program};
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    std::wstring commandLine =
        platform::win32::toWide(platform::joinCommandLine(argv).value_or(""));
    std::wstring environment = environmentBlock(options);

    // Only the three ends go to the child: a pipe end that another child inherited by chance
    // would keep that pipe from ending.
    HANDLE inherited[3] = {ends[0].handle, ends[1].handle, ends[2].handle};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeStore(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStore.data());
    connected = connected && InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                          inherited, sizeof inherited, nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = ends[0].handle;
    startup.StartupInfo.hStdOutput = ends[1].handle;
    startup.StartupInfo.hStdError = ends[2].handle;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION info{};
    const bool started =
        connected &&
        CreateProcessW(platform::win32::toWide(options.program).c_str(), commandLine.data(),
                       nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                       environment.data(), nullptr, &startup.StartupInfo, &info);
    const DWORD error = GetLastError();
    if (connected) DeleteProcThreadAttributeList(attributes);
    for (const ChildEnd& end : ends)
        if (end.handle != INVALID_HANDLE_VALUE) CloseHandle(end.handle);
    if (!started) {
        for (const ChildEnd& end : ends)
            if (end.parent != INVALID_HANDLE_VALUE) CloseHandle(end.parent);
        if (options.throwIfNotStarted) {
            throw std::runtime_error("cannot start " + options.program + ": error " +
                                     std::to_string(error));
        }
        return;
    }
    CloseHandle(info.hThread);
    h.process = info.hProcess;
    // Streams that are no pipe have no reader to say they ended; said before any reader runs.
    h.shared->outEnded = ends[1].parent == INVALID_HANDLE_VALUE;
    h.shared->errEnded = ends[2].parent == INVALID_HANDLE_VALUE;
    if (ends[0].parent != INVALID_HANDLE_VALUE) {
        h.inputOpen = true;
        std::thread(writeFrom, h.shared, ends[0].parent).detach();
    }
    for (int i = 0; i < 2; ++i) {
        HANDLE parent = ends[i + 1].parent;
        if (parent == INVALID_HANDLE_VALUE) continue;
        std::thread(readInto, h.shared, parent, i == 1).detach();
    }
}

ChildProcess::~ChildProcess() {
    Handles& h = *handles_;
    if (h.process && !h.exited) {
        TerminateProcess(h.process, 1);
        WaitForSingleObject(h.process, INFINITE);
    }
    closeInput();
    if (h.process) CloseHandle(h.process);
}

bool ChildProcess::started() const {
    return handles_->process != nullptr;
}

pid_t ChildProcess::pid() const {
    return handles_->process ? static_cast<pid_t>(GetProcessId(handles_->process)) : -1;
}

void ChildProcess::pump(const std::function<bool()>& done, Clock::time_point until) {
    Shared& shared = *handles_->shared;
    std::unique_lock<std::mutex> hold(shared.lock);
    for (;;) {
        out += shared.out;
        err += shared.err;
        shared.out.clear();
        shared.err.clear();
        if (!pending_.empty() && handles_->inputOpen) {
            shared.toWrite += pending_;
            shared.changed.notify_all();
        }
        pending_.clear();
        const bool ended = shared.outEnded && shared.errEnded;
        hold.unlock();
        if (done() || ended || Clock::now() >= until) return;
        hold.lock();
        shared.changed.wait_until(hold, until, [&] {
            return !shared.out.empty() || !shared.err.empty() ||
                   (shared.outEnded && shared.errEnded);
        });
    }
}

void ChildProcess::closeInput() {
    Handles& h = *handles_;
    pending_.clear();
    if (!h.inputOpen) return;
    h.inputOpen = false;
    std::lock_guard<std::mutex> hold(h.shared->lock);
    h.shared->closeInput = true;
    h.shared->changed.notify_all();
}

void ChildProcess::signal(int) {
    Handles& h = *handles_;
    if (h.process && !h.exited) TerminateProcess(h.process, 1);
}

int ChildProcess::finish(Clock::time_point until) {
    Handles& h = *handles_;
    if (!h.process) return -1;
    if (h.exited) return h.exitCode;
    using namespace std::chrono_literals;
    while (true) {
        pump([] { return false; }, std::min(until, Clock::now() + 50ms));
        bool pipesEnded;
        {
            std::lock_guard<std::mutex> hold(h.shared->lock);
            pipesEnded = h.shared->outEnded && h.shared->errEnded;
        }
        if (pipesEnded && WaitForSingleObject(h.process, 0) == WAIT_OBJECT_0) break;
        if (Clock::now() >= until) {
            timedOut = true;
            TerminateProcess(h.process, 1);
            break;
        }
        if (pipesEnded) std::this_thread::sleep_for(10ms);
    }
    WaitForSingleObject(h.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(h.process, &code);
    h.exited = true;
    h.exitCode = timedOut ? -1 : static_cast<int>(code);
    return h.exitCode;
}
