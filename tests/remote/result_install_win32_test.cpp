// Installing a finished job's result on Windows: the results the tool must not take, and a
// package that tar leaves cut short. What needs POSIX (a file size limit, device nodes, a
// compressed archive) is said as skipped.
#include "job_fixture.h"
#include "remote/remote_paths.h"

namespace remote {

namespace {

TEST_F(JobTest, AResultTheDiskCannotHoldKeepsTheJob) {
    GTEST_SKIP() << "a full disk is made with RLIMIT_FSIZE on Linux; Windows has no per-process "
                    "file size limit";
}

// The device node of the Linux test is made and unpacked by bsdtar; the bomb and three parts
// over the cap need an archive smaller than what it unpacks to, which the stand-in tar.exe,
// storing only, cannot make. What is left is the answer that never ends.
TEST_F(JobTest, AResultTooLargeOrNotOfPlainFilesIsNotInstalled) {
    t.app.resultCapBytes = 1 << 20;
    const json endless = {{"method", "GET"},
                          {"path", "/api/jobs/j1/result"},
                          {"action", "flood"},
                          {"bytes", 3 << 20}};
    std::vector<json> seen = follow({{"stages", {{{"state", "done"}}}}}, json::array({endless}));
    EXPECT_EQ(notices(seen),
              (Notices{{true,
                        "Could not download the result: The result is larger than the "
                        "tool takes."}}));
    EXPECT_TRUE(exists(jobFile("dino")));
    EXPECT_EQ(installed(), 0);
    EXPECT_FALSE(exists(downloadFolder(t.root(), "dino")));
}

// tar cut short while it unpacks (the disk filled up): a cut package must not be installed
// as the result, and the job file stays for another try.
TEST_F(JobTest, APackageUnpackedOnlyInPartIsNotInstalled) {
    ScopedEnv cut("FAKE_TAR_CUT", "1");
    std::vector<json> seen = follow(stages({{{"state", "done"}}}));
    EXPECT_EQ(notices(seen),
              (Notices{{true,
                        "Could not install the result: it could not be unpacked whole (is the "
                        "disk full?)."}}));
    EXPECT_EQ(readText(jobFile("dino")), "j1");
    EXPECT_EQ(installed(), 0);
}

}  // namespace

}  // namespace remote
