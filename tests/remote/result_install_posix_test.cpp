// Installing a finished job's result: a disk that fills up while it arrives or unpacks, and
// results that must not be taken (too large, no plain files). The job file stays whenever the
// result can be fetched again.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>

#include "job_fixture.h"
#include "remote/remote_paths.h"

namespace remote {

namespace {

// A disk that fills up while the result arrives: the cut archive is no result, and the job
// file stays, so the build can be fetched again once there is room.
TEST_F(JobTest, AResultTheDiskCannotHoldKeepsTheJob) {
    service.script(
        {{"jobs", {{{"id", "j1"}, {"species", "dino"}, {"stages", {{{"state", "done"}}}}}}}});
    writeText(jobFile("dino"), "j1");
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    // A file may grow to 100 bytes here, less than the result archive; writes past it fail
    // as on a full disk (with the signal that would end the process ignored).
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    t.send(cmd("buildResume", "name", "dino"));
    std::vector<json> seen = untilIdle();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    const std::string failure = "The download could not be written to disk (is it full?).";
    EXPECT_EQ(notices(seen), (Notices{{true, "Could not download the result: " + failure}}));
    EXPECT_EQ(remote(seen), (std::vector<std::string>{"done|done", "failed|" + failure}));
    EXPECT_EQ(readText(jobFile("dino")), "j1");
    EXPECT_EQ(installed(), 0);
    EXPECT_FALSE(exists(downloadFolder(t.root(), "dino")));

    t.send(cmd("buildResume", "name", "dino"));
    EXPECT_EQ(notices(untilIdle()), (Notices{{false, kFinished}}));
    EXPECT_EQ(installed(), 6);
}

// A result the tool must not take: one that would fill the disk as it arrives or as it
// unpacks (refused with nothing left behind, and the job file kept for another try), and one
// whose package is no plain file, such as a device node, which bsdtar makes when the tool
// runs as root (never unpacked: the result is incomplete).
TEST_F(JobTest, AResultTooLargeOrNotOfPlainFilesIsNotInstalled) {
    t.app.resultCapBytes = 1 << 20;
    const std::string made = t.home / "made";
    auto archive = [&](const std::string& name, const std::string& tarArguments) {
        const std::string path = t.home / name;
        EXPECT_EQ(std::system(("cd '" + made + "' && /usr/bin/bsdtar " + tarArguments + " -f '" +
                               path + "' " + "species_dino.pak species_dino.utoc species_dino.ucas")
                                  .c_str()),
                  0);
        return path;
    };
    // 3 MB of zeros deflate to a few kilobytes.
    writeText(made + "/species_dino.pak", std::string(3 << 20, '\0'));
    writeText(made + "/species_dino.utoc", "utoc");
    writeText(made + "/species_dino.ucas", "ucas");
    const std::string bomb = archive("bomb.zip", "-a -c");
    // The three packages together just over the cap, each under it.
    writeText(made + "/species_dino.pak", std::string(400 << 10, 'p'));
    writeText(made + "/species_dino.utoc", std::string(400 << 10, 'u'));
    writeText(made + "/species_dino.ucas", std::string(400 << 10, 'c'));
    const std::string together = archive("together.zip", "-a -c");
    // Described, not made: only root may make a device. The description lives apart, as
    // bsdtar would take a file of the same name beside it for the entry.
    writeText(t.home / "described/device.mtree",
              "#mtree\nspecies_dino.pak type=char mode=0644 uname=root gname=root "
              "device=native,1,3\n");
    const std::string device = t.home / "device.zip";
    ASSERT_EQ(
        std::system(("cd '" + t.home / "described" + "' && /usr/bin/bsdtar -c --format=ustar -f '" +
                     device + "' @device.mtree")
                        .c_str()),
        0);
    const json endless = {{"method", "GET"},
                          {"path", "/api/jobs/j1/result"},
                          {"action", "flood"},
                          {"bytes", 3 << 20}};
    struct Case {
        const char* what;
        json plan;
        json rules;
        std::string failure;
        bool jobKept = true;
    } cases[] = {
        {"a bomb",
         {{"result", bomb}},
         json::array(),
         "Could not install the result: it unpacks to more than 1 MB."},
        {"three parts over the cap",
         {{"result", together}},
         json::array(),
         "Could not install the result: it unpacks to more than 1 MB."},
        {"a device",
         {{"result", device}},
         json::array(),
         "The result is incomplete, the pak files are missing.",
         false},
        {"an endless answer",
         json::object(),
         {endless},
         "Could not download the result: The result is larger than the tool takes."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        json plan = c.plan;
        plan["stages"] = {{{"state", "done"}}};
        std::vector<json> seen = follow(plan, c.rules);
        EXPECT_EQ(notices(seen), (Notices{{true, c.failure}}));
        EXPECT_EQ(exists(jobFile("dino")), c.jobKept);
        EXPECT_EQ(installed(), 0);
        EXPECT_FALSE(exists(downloadFolder(t.root(), "dino")));
    }
}

// bsdtar cut short while it unpacks (the disk filled up): a cut package must not be
// installed as the result, and the job file stays for another try.
TEST_F(JobTest, APackageUnpackedOnlyInPartIsNotInstalled) {
    writeText(t.home / "bin/bsdtar",
              "#!/bin/sh\n"
              "/usr/bin/bsdtar \"$@\" || exit\n"
              "if [ \"$1\" = -x ]; then for f in \"$7\"/*.utoc; do [ -f \"$f\" ] && "
              "truncate -s 1 \"$f\"; done; fi\n"
              "exit 0\n");
    ::chmod((t.home / "bin/bsdtar").c_str(), 0755);
    ScopedEnv path("PATH", (t.home / "bin:") + std::getenv("PATH"));
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
