#include "platform/win32/running_child.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "platform/command_line.h"
#include "platform/program_search.h"
#include "platform/win32/child_jobs.h"
#include "platform/win32/inherited_handles.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

std::atomic<unsigned> pipeCounter{0};

OwnedHandle fromNullable(HANDLE handle) {
    return OwnedHandle(handle ? handle : INVALID_HANDLE_VALUE);
}

// An anonymous pipe cannot be read with a time limit; a named one opened for overlapped
// reading can. We create the only instance the name may have before anyone can open it, so
// nobody else can slip in as the writer. Only the write end is inheritable.
bool makePipe(OwnedHandle& readEnd, OwnedHandle& writeEnd) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring name = L"\\\\.\\pipe\\VarraForgeset-output-" +
                                  std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(pipeCounter.fetch_add(1));
        readEnd = OwnedHandle(::CreateNamedPipeW(
            name.c_str(),
            PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
            1 << 16, 0, nullptr));
        if (!readEnd) continue;  // the name is taken: try the next one
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        writeEnd = OwnedHandle(
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
        return static_cast<bool>(writeEnd);
    }
    return false;
}

// Kill on close: when this process ends, however it ends, the system closes the job and
// nothing we started lives on. A helper that crashes ends at once instead of waiting on an
// error dialog that nobody sees.
OwnedHandle makeJob() {
    OwnedHandle job = fromNullable(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits)) {
        return OwnedHandle();
    }
    return job;
}

// Waits until the object is signalled or the deadline passes, in slices a DWORD can hold;
// false on the deadline or a failed wait.
bool waitUntil(HANDLE object, RunningChild::Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - RunningChild::Clock::now());
        const auto slice = static_cast<DWORD>(std::clamp<long long>(left.count(), 0, 60000));
        const DWORD waited = ::WaitForSingleObject(object, slice);
        if (waited != WAIT_TIMEOUT) return waited == WAIT_OBJECT_0;
        if (RunningChild::Clock::now() >= deadline) return false;
    }
}

}  // namespace

std::unique_ptr<RunningChild> RunningChild::start(const std::vector<std::string>& argv) {
    if (argv.empty() || isCommandScript(argv[0])) return nullptr;
    const std::optional<std::string> line = joinCommandLine(argv);
    if (!line) return nullptr;
    std::wstring commandLine = toWide(*line);
    const std::wstring program = toWide(argv[0]);

    std::unique_ptr<RunningChild> child(new RunningChild);
    child->readDone_ = fromNullable(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    child->job_ = makeJob();
    OwnedHandle writeEnd;
    if (!child->readDone_ || !child->job_ || !makePipe(child->readEnd_, writeEnd)) return nullptr;
    // Standard input reads as empty at once: a child that asks for input must not wait on us.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    OwnedHandle noInput(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, OPEN_EXISTING, 0, nullptr));
    if (!noInput) return nullptr;
    InheritedHandles inherited({writeEnd.get(), noInput.get()});
    if (!inherited.list()) return nullptr;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = noInput.get();
    startup.StartupInfo.hStdOutput = writeEnd.get();
    startup.StartupInfo.hStdError = writeEnd.get();
    startup.lpAttributeList = inherited.list();
    // Suspended until it is in its job, so not even its first grandchild escapes the job.
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED |
                              EXTENDED_STARTUPINFO_PRESENT,
                          nullptr, nullptr, &startup.StartupInfo, &created)) {
        return nullptr;
    }
    OwnedHandle thread(created.hThread);
    child->process_ = OwnedHandle(created.hProcess);
    if (!::AssignProcessToJobObject(child->job_.get(), child->process_.get())) {
        ::TerminateProcess(child->process_.get(), ERROR_PROCESS_ABORTED);
        return nullptr;
    }
    rememberChildJob(child->job_.get());
    ::ResumeThread(thread.get());
    return child;
}

RunningChild::~RunningChild() {
    if (!job_) return;
    if (!finished_) ::TerminateJobObject(job_.get(), ERROR_PROCESS_ABORTED);
    forgetChildJob(job_.get());
}

RunningChild::Read RunningChild::read(char* buffer, std::size_t size, std::size_t& got,
                                      Clock::time_point deadline) {
    got = 0;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = readDone_.get();
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (!::ReadFile(readEnd_.get(), buffer, want, nullptr, &overlapped_) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return Read::ended;
    }
    // At the limit the read is cancelled; it may have finished meanwhile, and then its bytes
    // are kept.
    if (!waitUntil(readDone_.get(), deadline)) ::CancelIoEx(readEnd_.get(), &overlapped_);
    DWORD n = 0;
    if (!::GetOverlappedResult(readEnd_.get(), &overlapped_, &n, TRUE)) {
        return ::GetLastError() == ERROR_OPERATION_ABORTED ? Read::timedOut : Read::ended;
    }
    got = n;
    return Read::data;
}

bool RunningChild::finish(bool timedOut, Clock::time_point deadline) {
    if (!timedOut) timedOut = !waitUntil(process_.get(), deadline);
    if (timedOut) {
        ::TerminateJobObject(job_.get(), ERROR_TIMEOUT);
        // Ending is not instant; the caller looks at what the child wrote right after.
        ::WaitForSingleObject(process_.get(), 5000);
    }
    finished_ = true;
    forgetChildJob(job_.get());
    job_.close();
    return timedOut;
}

}  // namespace platform::win32
