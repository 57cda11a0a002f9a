// The process runners on Windows, with this test program as the child (test_child_win32.h).
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "platform/process.h"
#include "platform/win32/wide.h"
#include "scratch_folder_win32.h"
#include "test_child_win32.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
using platform::win32::fromWide;
using platform::win32::toWide;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each process test's own folder.
class Folder : public ScratchFolder {
  public:
    Folder() : ScratchFolder("forgeset-process-") {}
};

std::vector<DWORD> readPids(const std::string& path) {
    std::ifstream in(path);
    std::vector<DWORD> pids;
    for (DWORD pid; in >> pid;)
        pids.push_back(pid);
    return pids;
}

bool processEnded(DWORD pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    const bool ended = ::WaitForSingleObject(process, 2000) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

// Sets an environment variable for the lifetime of the object, then puts back what was there.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
        std::wstring old(32768, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name, old.data(), 32768);
        if (length > 0 && length < 32768) old_ = old.substr(0, length);
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const wchar_t* name_;
    std::optional<std::wstring> old_;
};

// Arguments the command line must carry through unchanged.
const std::vector<std::vector<std::string>> awkwardArguments = {
    {"plain"},
    {""},
    {"", "", "x"},
    {"a b", "tab\there"},
    {"quote\"inside", "\"", "\"\""},
    {"back\\slash", "trailing\\", "trailing blank \\", "\\\\server\\share\\"},
    {"\\\"", "\\\\\"", "a\\\\\"b c"},
    {"C:\\Program Files\\x\\", "--opt=\"a b\""},
    {"&|<>^%!", "line\nbreak"},
    {"ünïcødé", "日本語 テキスト", "emoji 😀"},
};

std::vector<std::string> splitNul(const std::string& bytes) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        parts.push_back(bytes.substr(start, end - start));
    return parts;
}

TEST(JoinCommandLineWin32, SystemSplitGivesEveryArgumentBack) {
    for (const std::vector<std::string>& arguments : awkwardArguments) {
        std::vector<std::string> argv = {"C:\\Program Files\\Tool\\t.exe"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const std::wstring line = toWide(*platform::joinCommandLine(argv));
        int argc = 0;
        wchar_t** split = ::CommandLineToArgvW(line.c_str(), &argc);
        ASSERT_NE(split, nullptr);
        std::vector<std::string> back;
        for (int i = 0; i < argc; ++i)
            back.push_back(fromWide(split[i]));
        ::LocalFree(split);
        EXPECT_EQ(back, argv);
    }
}

// Through a real child, both by the system's split and by the C runtime's, from a program
// whose own path has blanks and letters beyond ASCII.
TEST(JoinCommandLineWin32, ChildGetsEveryArgumentBack) {
    Folder folder;
    const std::string copy = folder / "dir with blank ü\\child copy.exe";
    fs::create_directories(fs::path(toWide(copy)).parent_path());
    fs::copy_file(fs::path(toWide(testProgramPath())), fs::path(toWide(copy)));
    for (const char* role : {"echo", "echo-crt"}) {
        for (const std::vector<std::string>& arguments : awkwardArguments) {
            std::vector<std::string> argv = {copy, "--test-child", role};
            argv.insert(argv.end(), arguments.begin(), arguments.end());
            EXPECT_EQ(splitNul(platform::runCaptured(argv, 20000)), arguments) << role;
        }
    }
}

TEST(RunCapturedWin32, SilentChildAndMissingOrRefusedProgramAllGiveNothing) {
    Folder folder;
    std::ofstream(folder / "build.bat") << "@echo hello\r\n";
    EXPECT_EQ(platform::runCaptured(testChild({"sleep", "0"}), 10000), "");
    EXPECT_EQ(platform::runCaptured({folder / "missing.exe", "species"}, 10000), "");
    EXPECT_EQ(platform::runCaptured({folder / "build.bat"}, 10000), "");
    EXPECT_EQ(platform::runCaptured({}, 10000), "");
}

TEST(RunCapturedWin32, KeepsStdoutAndStderrInTheOrderWrittenBeyondOnePipeBlock) {
    const std::string output = platform::runCaptured(testChild({"interleave", "5000"}), 30000);
    std::string expected;
    for (int i = 0; i < 5000; ++i)
        expected += "out" + std::to_string(i) + "\n" + "err" + std::to_string(i) + "\n";
    ASSERT_GT(expected.size(), 65536u);
    EXPECT_TRUE(output == expected) << output.size() << " of " << expected.size();
}

TEST(RunCapturedWin32, ReturnsBytesUnchangedAndGivesNoInput) {
    EXPECT_EQ(platform::runCaptured(testChild({"bytes"}), 10000),
              std::string("a\0b\xff\xfe\r\nc", 8));
    EXPECT_EQ(platform::runCaptured(testChild({"stdin"}), 10000), "finished\n");
}

TEST(RunCapturedWin32, WaitsForAGrandchildThatHoldsTheOutput) {
    Folder folder;
    const auto start = Clock::now();
    EXPECT_EQ(platform::runCaptured(testChild({"spawn", folder / "pids", "400", "0"}), 20000),
              "before\nlate\n");
    EXPECT_GE(secondsSince(start), 0.35);
}

TEST(RunCapturedWin32, TheJobEndsAChildAndItsGrandchildAtTheLimit) {
    Folder folder;
    const auto start = Clock::now();
    bool timedOut = false;
    const std::string output = platform::runCaptured(
        testChild({"spawn", folder / "pids", "60000", "60000"}), 1500, &timedOut);
    const double took = secondsSince(start);
    EXPECT_EQ(output, "before\n");
    EXPECT_TRUE(timedOut);
    EXPECT_GE(took, 1.4);
    EXPECT_LT(took, 8.0);
    const std::vector<DWORD> pids = readPids(folder / "pids");
    ASSERT_EQ(pids.size(), 2u);
    EXPECT_TRUE(processEnded(pids[0])) << "grandchild";
    EXPECT_TRUE(processEnded(pids[1])) << "child";
}

TEST(RunCapturedWin32, SaysWhenTheLimitEndedTheChild) {
    struct Case {
        std::vector<std::string> argv;
        std::uint32_t limitMs;
        bool timedOut;
    };
    const Case cases[] = {
        {testChild({"sleep", "0", "quick"}), 10000, false},
        {testChild({"no-such-role"}), 10000, false},
        {testChild({"sleep", "60000"}), 800, true},
        {testChild({"close-output", "60000"}), 800, true},
    };
    for (const Case& c : cases) {
        bool timedOut = !c.timedOut;
        const auto start = Clock::now();
        platform::runCaptured(c.argv, c.limitMs, &timedOut);
        EXPECT_EQ(timedOut, c.timedOut) << c.argv[2];
        EXPECT_LT(secondsSince(start), 8.0) << c.argv[2];
    }
}

TEST(RunCapturedWin32, EndsAChildThatClosedItsOutputButDoesNotExit) {
    const auto start = Clock::now();
    EXPECT_EQ(platform::runCaptured(testChild({"close-output", "60000"}), 800), "bye\n");
    EXPECT_LT(secondsSince(start), 8.0);
}

// Started in a process of its own (the test program again): after endRunningChildren no
// child of that process can run.
TEST(RunCapturedWin32, EndRunningChildrenEndsEveryJobAndAnyStartedLater) {
    Folder folder;
    EXPECT_EQ(platform::runCaptured(testChild({"end-children", folder / "pids"}), 60000),
              "quick grandchild-ended late-ended");
}

TEST(RunCapturedWin32, ChildInheritsNoOtherHandle) {
    // An inheritable pipe of ours, as another thread's pipe may be when a child starts: if
    // the child kept its write end, our read would wait for the child.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    std::thread child([] { platform::runCaptured(testChild({"sleep", "1500"}), 10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::CloseHandle(writeEnd);
    const auto start = Clock::now();
    char c;
    DWORD n = 0;
    EXPECT_FALSE(::ReadFile(readEnd, &c, 1, &n, nullptr));
    EXPECT_LT(secondsSince(start), 0.5);
    ::CloseHandle(readEnd);
    child.join();
}

TEST(RunCapturedWin32, ManyCallsAtOnceKeepTheirOwnOutput) {
    std::vector<std::thread> threads;
    std::vector<std::string> outputs(6);
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &outputs] {
            outputs[t] =
                platform::runCaptured(testChild({"interleave", std::to_string(100 + t)}), 30000);
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < 6; ++t) {
        std::string expected;
        for (int i = 0; i < 100 + t; ++i)
            expected += "out" + std::to_string(i) + "\n" + "err" + std::to_string(i) + "\n";
        EXPECT_EQ(outputs[t], expected) << "call " << t;
    }
}

TEST(RunStreamingWin32, HandsOverBlocksOfAtMost4096BytesAndSaysWhenTheLimitEndedIt) {
    std::string streamed;
    std::size_t largest = 0;
    EXPECT_TRUE(platform::runStreaming(testChild({"interleave", "2000"}), 30000,
                                       [&](std::string_view block) {
                                           streamed += block;
                                           largest = std::max(largest, block.size());
                                       }));
    EXPECT_EQ(streamed, platform::runCaptured(testChild({"interleave", "2000"}), 30000));
    EXPECT_LE(largest, 4096u);
    std::string late;
    Folder folder;
    EXPECT_FALSE(platform::runStreaming(testChild({"spawn", folder / "pids", "60000", "60000"}),
                                        800, [&](std::string_view block) { late += block; }));
    EXPECT_EQ(late, "before\n");
}

// The archiver unpacks into the folder named on its command line; a file there that grows
// past the limit ends it.
TEST(RunCapturedWithFileLimitWin32, EndsAChildWhoseFileGrowsPastTheLimit) {
    Folder folder;
    const std::string out = folder / "out";
    fs::create_directory(out);
    struct Case {
        std::uint64_t bytes, limit;
        bool ends;
    };
    for (const Case& c : {Case{300000, 400000, false}, Case{400000, 400000, false},
                          Case{2000000000, 1 << 20, true}}) {
        const auto start = Clock::now();
        const std::string output = platform::runCapturedWithFileLimit(
            testChild({"write-file", out + "\\unpacked.pak", std::to_string(c.bytes), "-C", out}),
            60000, c.limit);
        const std::uint64_t size = fs::file_size(out + "\\unpacked.pak");
        if (c.ends) {
            EXPECT_EQ(output, "");
            EXPECT_GT(size, c.limit);
            EXPECT_LT(size, std::uint64_t{1} << 30) << "the watch came far too late";
            EXPECT_LT(secondsSince(start), 20.0);
        } else {
            EXPECT_EQ(output, "done\n");
            EXPECT_EQ(size, c.bytes);
        }
    }
}

TEST(RunCapturedWithFileLimitWin32, DoesNotRunAChildWithNoFolderToWatch) {
    Folder folder;
    EXPECT_EQ(platform::runCapturedWithFileLimit(
                  testChild({"write-file", folder / "x.pak", "10", "-C", folder / "missing"}),
                  10000, 100),
              "");
    EXPECT_FALSE(fs::exists(folder / "x.pak"));
}

TEST(FindProgramWin32, SearchesPathWithPathext) {
    Folder folder;
    const std::string first = folder / "first", second = folder / "second dir";
    fs::create_directories(first);
    fs::create_directories(second);
    for (const std::string& file : {first + "\\tool.EXE", second + "\\tool.exe",
                                    second + "\\only-here.com", first + "\\script.bat"}) {
        std::ofstream(file) << "MZ";
    }
    fs::create_directory(first + "\\folder.exe");
    std::ofstream(second + "\\folder.exe") << "MZ";
    ScopedVariable path(L"PATH", toWide(first + ";;\"" + second + "\""));
    ScopedVariable extensions(L"PATHEXT", L".COM;.EXE;.BAT;.CMD");
    struct Case {
        std::string name, found;
    };
    const Case cases[] = {
        {"tool", first + "\\tool.EXE"},
        {"tool.exe", first + "\\tool.exe"},
        {"only-here", second + "\\only-here.COM"},
        {"folder", second + "\\folder.EXE"},
        {"script", ""},
        {"script.bat", ""},
        {"absent", ""},
        {second + "\\tool", second + "\\tool.EXE"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::findProgram(c.name), c.found) << c.name;
}

}  // namespace
