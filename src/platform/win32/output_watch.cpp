#include "platform/win32/output_watch.h"

#include <chrono>

#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(10);
// Deeper than any archive the tool unpacks; a deeper tree is not followed further.
constexpr int kMaxDepth = 32;

bool isFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The size as the file itself has it: a folder listing can show an older size for a file that
// is open for writing, while asking for the file by name opens it and reads the current one.
std::uint64_t currentSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// True when a file below `folder` is larger than `limit`. Links and junctions are not
// followed: what lies behind them is not the folder the child was told to write into.
bool holdsFileOver(const std::string& folder, std::uint64_t limit, int depth) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW(widePath(folder + "\\*").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool over = false;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::string path = folder + "\\" + fromWide(name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            over = depth < kMaxDepth && holdsFileOver(path, limit, depth + 1);
        } else {
            over = currentSize(path) > limit;
        }
    } while (!over && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return over;
}

}  // namespace

std::vector<std::string> watchedFolders(const std::vector<std::string>& argv) {
    std::vector<std::string> folders;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (!argv[i].empty() && isFolder(argv[i])) folders.push_back(argv[i]);
    }
    return folders;
}

OutputWatch::OutputWatch(HANDLE job, std::vector<std::string> folders, std::uint64_t limit)
    : folders_(std::move(folders)), limit_(limit) {
    // A handle of its own: the runner closes its handle to the job when the child is done,
    // while this thread may still be between two looks.
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), job, ::GetCurrentProcess(), &own, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        // Without a handle the watch cannot end anything; the job goes at once instead of
        // letting the child write without a limit.
        ::TerminateJobObject(job, ERROR_FILE_TOO_LARGE);
        return;
    }
    job_ = OwnedHandle(own);
    thread_ = std::thread([this] { watch(); });
}

OutputWatch::~OutputWatch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void OutputWatch::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kInterval, [this] { return stopping_; })) {
        lock.unlock();
        bool over = false;
        for (const std::string& folder : folders_)
            over = over || holdsFileOver(folder, limit_, 0);
        if (over) {
            ::TerminateJobObject(job_.get(), ERROR_FILE_TOO_LARGE);
            return;
        }
        lock.lock();
    }
}

}  // namespace platform::win32
