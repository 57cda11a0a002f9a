#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process.h"
#include "support/test_app.h"

namespace studio {

namespace {

using Clock = std::chrono::steady_clock;

std::string sh(const std::string& script, std::uint32_t limitMs = 10000) {
    return platform::runCaptured({"/bin/sh", "-c", script}, limitMs);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A process counts as ended when it is gone or a zombie waiting for its new parent.
bool processEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    std::size_t close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

pid_t readPid(const std::string& path) {
    std::ifstream in(path);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

}  // namespace

TEST(RunCaptured, SilentChildAndMissingProgramBothGiveNothing) {
    EXPECT_EQ(platform::runCaptured({"/bin/true"}, 5000), "");
    EXPECT_EQ(platform::runCaptured({"/nonexistent/forgeset-assets", "species"}, 5000), "");
    EXPECT_EQ(platform::runCaptured({}, 5000), "");
}

TEST(RunCaptured, KeepsStdoutAndStderrInTheOrderWrittenBeyondOnePipeBlock) {
    std::string output =
        sh("i=0; while [ $i -lt 3000 ]; do echo out$i; echo err$i >&2; "
           "i=$((i+1)); done");
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        expected += "out" + std::to_string(i) + "\n" + "err" + std::to_string(i) + "\n";
    }
    ASSERT_GT(expected.size(), 4096u);
    EXPECT_EQ(output, expected);
}

TEST(RunCaptured, ReturnsBytesUnchanged) {
    std::string output = sh("printf 'a\\000b\\377\\376\\r\\nc'");
    EXPECT_EQ(output, std::string("a\0b\xff\xfe\r\nc", 8));
}

TEST(RunCaptured, ChildHasNoStandardInput) {
    // A child that reads standard input must see its end at once rather than wait for us.
    EXPECT_EQ(sh("cat; echo finished"), "finished\n");
}

TEST(RunCaptured, WaitsForAGrandchildThatHoldsTheOutput) {
    auto start = Clock::now();
    std::string output = sh("(sleep 0.4; echo late) & echo early");
    EXPECT_EQ(output, "early\nlate\n");
    EXPECT_GE(secondsSince(start), 0.35);
}

TEST(RunCaptured, EndsAChildAndItsGrandchildAtTheLimit) {
    TempDir dir;
    const std::string childPid = dir / "child.pid", grandchildPid = dir / "grandchild.pid";
    auto start = Clock::now();
    std::string output = sh(
        "echo $$ > " + childPid + "; sleep 60 & echo $! > " + grandchildPid + "; echo before; wait",
        400);
    double took = secondsSince(start);
    EXPECT_EQ(output, "before\n");
    EXPECT_GE(took, 0.35);
    EXPECT_LT(took, 5.0);
    pid_t child = readPid(childPid), grandchild = readPid(grandchildPid);
    ASSERT_GT(child, 0);
    ASSERT_GT(grandchild, 0);
    // The kill is sent before the call returns; give the kernel a moment to deliver it.
    for (int i = 0; i < 100 && !(processEnded(child) && processEnded(grandchild)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(processEnded(child));
    EXPECT_TRUE(processEnded(grandchild));
}

// A helper ended at its limit must be told apart from one that failed on its own, so the owner
// learns that it hung.
TEST(RunCaptured, SaysWhenTheLimitEndedTheChild) {
    struct Case {
        std::string script;
        std::uint32_t limitMs;
        bool timedOut;
    };
    for (const Case& c :
         {Case{"echo quick", 5000, false}, Case{"exit 3", 5000, false},
          Case{"echo slow; sleep 60", 300, true}, Case{"exec >&- 2>&-; sleep 60", 300, true}}) {
        SCOPED_TRACE(c.script);
        bool timedOut = !c.timedOut;
        platform::runCaptured({"/bin/sh", "-c", c.script}, c.limitMs, &timedOut);
        EXPECT_EQ(timedOut, c.timedOut);
    }
}

// At the end of the program every helper group goes, also one started a moment later; run in
// a process of its own, since after it no child of this process could run.
TEST(RunCapturedDeathTest, EndRunningChildrenEndsEveryGroupAndAnyStartedLater) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    auto scenario = [&] {
        const std::string pids = dir / "pids";
        std::thread running([&] {
            platform::runCaptured({"/bin/sh", "-c", "sleep 60 & echo $! > " + pids + "; wait"},
                                  60000);
        });
        for (int i = 0; i < 500 && readPid(pids) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const pid_t grandchild = readPid(pids);
        auto start = Clock::now();
        platform::endRunningChildren();
        running.join();
        bool quick = secondsSince(start) < 5.0;
        for (int i = 0; i < 100 && !processEnded(grandchild); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        start = Clock::now();
        std::string late = platform::runCaptured({"/bin/sh", "-c", "sleep 60; echo late"}, 60000);
        bool lateEnded = late.empty() && secondsSince(start) < 5.0;
        std::_Exit(grandchild > 0 && quick && processEnded(grandchild) && lateEnded ? 0 : 1);
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

TEST(RunCaptured, EndsAChildThatClosedItsOutputButDoesNotExit) {
    auto start = Clock::now();
    EXPECT_EQ(sh("echo bye; exec >&- 2>&-; sleep 60", 300), "bye\n");
    EXPECT_LT(secondsSince(start), 5.0);
}

TEST(RunCaptured, ChildInheritsNoOtherDescriptor) {
    // A pipe of ours without close-on-exec, as another thread's pipe might be at the moment
    // a child starts: if the child kept its write end, our read would wait for the child.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread child([] { sh("sleep 1"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    close(fds[1]);
    auto start = Clock::now();
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 0);
    EXPECT_LT(secondsSince(start), 0.5);
    close(fds[0]);
    child.join();
}

TEST(RunCaptured, ManyCallsAtOnceKeepTheirOwnOutput) {
    std::vector<std::thread> threads;
    std::vector<std::string> outputs(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &outputs] {
            outputs[t] = sh("i=0; while [ $i -lt 500 ]; do echo " + std::to_string(t) +
                            "; i=$((i+1)); done");
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 8; ++t) {
        std::string expected;
        for (int i = 0; i < 500; ++i)
            expected += std::to_string(t) + "\n";
        EXPECT_EQ(outputs[t], expected) << "call " << t;
    }
}

}  // namespace studio
