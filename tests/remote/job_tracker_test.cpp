// Following a stored job through buildResume and the real dispatcher: every ending of a job,
// the tolerance for failed polls, the log, buildResume's and buildCancel's guards.
#include <algorithm>
#include <atomic>

#include "job_fixture.h"
#include "remote/log_lines.h"
#include "remote/remote_paths.h"

namespace remote {

namespace {

TEST_F(JobTest, EveryEndingOfAJob) {
    const json done = {{"state", "done"}};
    const json busyJob = {{"method", "GET"}, {"path", "/api/jobs/j1"}, {"status", 503}};
    struct Case {
        std::string name;
        json plan;
        json rules;
        std::string stored;
        std::vector<std::string> remote;
        Notices notices;
        bool jobFileKept;
        int installed;
        std::size_t polls;
    } cases[] = {
        {"queued at 3, then 2, then done",
         stages({{{"state", "queued"}, {"position", 3}, {"polls", 3}},
                 {{"state", "queued"}, {"position", 2}, {"polls", 2}},
                 done}),
         json::array(),
         "j1",
         {"queued|Waiting, position 3", "queued|Waiting, position 2", "done|done",
          "done|Pak downloaded"},
         {{false, kFinished}},
         false,
         6,
         6},
        {"queued without a position, then failed without words",
         stages({{{"state", "queued"}, {"polls", 2}}, {{"state", "failed"}}}),
         json::array(),
         "j1",
         {"queued|Waiting, position 0", "failed|failed", "failed|"},
         {{true, "Build failed: see the log"}},
         false,
         0,
         3},
        {"failed with the service's words",
         stages({{{"state", "running"}}, {{"state", "failed"}, {"error", "Out of memory."}}}),
         json::array(),
         "j1",
         {"running|running", "failed|failed", "failed|Out of memory."},
         {{true, "Build failed: Out of memory."}},
         false,
         0,
         2},
        {"cancelled",
         stages({{{"state", "cancelled"}, {"error", "Stopped."}}}),
         json::array(),
         "j1",
         {"cancelled|cancelled", "cancelled|Stopped."},
         {{false, "Build cancelled."}},
         false,
         0,
         1},
        {"another state is shown as it is",
         stages({{{"state", "cooking"}, {"polls", 2}}, done}),
         json::array(),
         "j1",
         {"cooking|cooking", "done|done", "done|Pak downloaded"},
         {{false, kFinished}},
         false,
         6,
         3},
        {"a result without its .ucas",
         {{"stages", {done}}, {"omit", {".ucas"}}},
         json::array(),
         "j1",
         {"done|done", "failed|Result incomplete"},
         {{true, kIncomplete}},
         false,
         4,
         1},
        {"the result cannot be downloaded",
         stages({done}),
         {{{"path", "/api/jobs/j1/result"}, {"status", 500}, {"json", {{"error", "Gone."}}}}},
         "j1",
         {"done|done", "failed|Gone."},
         {{true, "Could not download the result: Gone."}},
         true,
         0,
         1},
        {"401 on the job ends at once",
         stages({done}),
         {{{"path", "/api/jobs/j1"}, {"status", 401}, {"json", {{"error", "Sign in again."}}}}},
         "j1",
         {"lost|Sign in again."},
         {{true, "Lost track of the build: Sign in again."}},
         true,
         0,
         1},
        {"404 on the job ends at once",
         stages({done}),
         json::array(),
         "gone",
         {"lost|No such job."},
         {{true, "Lost track of the build: No such job."}},
         true,
         0,
         1},
        {"59 failed polls are tolerated",
         stages({done}),
         {withKeys(busyJob, {{"count", 59}})},
         "j1",
         {"done|done", "done|Pak downloaded"},
         {{false, kFinished}},
         false,
         6,
         60},
        {"the 60th failed poll in a row loses the job",
         stages({done}),
         {withKeys(busyJob, {{"count", 60}})},
         "j1",
         {"lost|The build service answered with status 503."},
         {{true, "Lost track of the build: The build service answered with status 503."}},
         true,
         0,
         60},
        // 30 failures, one good poll, 40 failures: no 60 in a row.
        {"failures apart do not add up",
         stages({{{"state", "running"}}, done}),
         {withKeys(busyJob, {{"count", 30}}), withKeys(busyJob, {{"skip", 1}, {"count", 40}})},
         "j1",
         {"running|running", "done|done", "done|Pak downloaded"},
         {{false, kFinished}},
         false,
         6,
         72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"/client-mods", "/server-mods"})
            std::filesystem::remove_all(t.root() + folder);
        const std::size_t waitsBefore = waits().size();
        std::vector<json> seen = follow(c.plan, c.rules, c.stored);
        EXPECT_EQ(remote(seen), c.remote);
        EXPECT_EQ(notices(seen), c.notices);
        EXPECT_EQ(exists(jobFile("dino")), c.jobFileKept);
        EXPECT_EQ(installed(), c.installed);
        EXPECT_EQ(waits().size() - waitsBefore, c.polls);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back()["type"], "species");
        EXPECT_EQ(seen.back()["items"][0]["remoteJob"], c.jobFileKept);
        EXPECT_FALSE(exists(downloadFolder(t.root(), "dino") + "/result.zip"));
    }
}

TEST_F(JobTest, TheLogArrivesOnceInOrderFromWhereItWasLeft) {
    std::vector<json> seen = follow(stages({{{"state", "running"}, {"log", {"one", "two"}}},
                                            {{"state", "running"}, {"polls", 2}},
                                            {{"state", "done"}, {"log", {"three"}}}}));
    EXPECT_EQ(logLines(seen), (std::vector<std::string>{"one", "two", "three"}));
    std::vector<std::string> froms;
    for (const json& r : requestsTo("/api/jobs/j1/log"))
        froms.push_back(r["query"]);
    EXPECT_EQ(froms, (std::vector<std::string>{"from=0", "from=2", "from=2", "from=2"}));
}

TEST_F(JobTest, ALogAnswerWithoutNextAsksFromTheSamePlaceAgain) {
    follow(stages({{{"state", "running"}, {"polls", 3}}, {{"state", "done"}}}),
           {{{"path", "/api/jobs/j1/log"}, {"status", 200}, {"json", {{"lines", json::array()}}}}});
    for (const json& r : requestsTo("/api/jobs/j1/log"))
        EXPECT_EQ(r["query"], "from=0");
}

// A tracker resumed on a long build gets the whole log so far in one answer.
TEST_F(JobTest, HugeLogsReachThePageInBoundedPieces) {
    // Building these answers takes the fake seconds on a slow or instrumented machine; the
    // answer must not be dropped as silent meanwhile.
    t.app.buildServiceTimeouts.receiveMs = 300000;
    struct Case {
        std::string name;
        json flood;
        std::size_t messages;
        std::string first;
        std::size_t logRequests;
    } cases[] = {
        {"a million lines",
         {{"lines", 1000000}, {"bytes", 1}},
         1001,
         "[999000 earlier lines not shown]",
         2},
        {"a 4 MB line",
         {{"lines", 1}, {"bytes", 4000000}},
         1,
         std::string(kLogLineBytes, 'x') + kLogLineCut,
         2},
        {"a 20 MB answer",
         {{"lines", 5000}, {"bytes", 4000}},
         1001,
         "[4000 earlier lines not shown]",
         2},
        // Too long to read whole: said once, and not fetched again at the next poll.
        {"a 36 MB answer", {{"lines", 9000}, {"bytes", 4000}}, 1, kLogTooLong, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = requestsTo("/api/jobs/j1/log").size();
        std::vector<json> seen =
            follow(stages({{{"state", "running"}, {"flood", c.flood}}, {{"state", "failed"}}}));
        std::vector<std::string> lines = logLines(seen);
        ASSERT_EQ(lines.size(), c.messages);
        EXPECT_EQ(lines.front(), c.first);
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), kLogLineBytes + 16);
        EXPECT_EQ(requestsTo("/api/jobs/j1/log").size() - before, c.logRequests);
    }
}

// Species of one name in two server folders, each with its job, followed at the same time:
// each result lands in its own folder, and once the second folder is chosen the page hears
// nothing more of the first one's job.
TEST_F(JobTest, TwoFoldersFollowTheirOwnJobs) {
    const std::string other = t.home / "other";
    writeText(other + "/species/dino/species.json", "{}");
    writeText(other + "/species/dino/build/remote-job.txt", "j2");
    writeText(jobFile("dino"), "j1");
    auto plan = [](const char* id, const char* line) {
        return json{
            {"id", id}, {"species", "dino"}, {"stages", {{{"state", "done"}, {"log", {line}}}}}};
    };
    // The first job is seen only after the switch, and ends while the second's result is
    // still arriving, so the two trackers overlap.
    service.script({{"jobs", {plan("j1", "built in the first"), plan("j2", "built in the second")}},
                    {"rules",
                     {{{"method", "GET"}, {"path", "/api/jobs/j1"}, {"delayMs", 800}},
                      {{"method", "GET"}, {"path", "/api/jobs/j2/result"}, {"delayMs", 2500}}}}});
    t.send(cmd("buildResume", "name", "dino"));
    t.dialogs = platform::ScriptedDialogs({other});
    t.send(cmd("pickFolder"));
    t.send(cmd("buildResume", "name", "dino"));
    std::vector<json> seen = untilIdle(30);

    EXPECT_EQ(logLines(seen), (std::vector<std::string>{"built in the second"}));
    EXPECT_EQ(remote(seen), (std::vector<std::string>{"done|done", "done|Pak downloaded"}));
    EXPECT_EQ(notices(seen), (Notices{{false, kFinished}, {false, kFinished}}));
    for (const std::string& root : {t.root(), other}) {
        SCOPED_TRACE(root);
        for (const char* ext : {".pak", ".utoc", ".ucas"})
            EXPECT_TRUE(exists(root + "/client-mods/species_dino" + ext));
        EXPECT_FALSE(exists(root + "/species/dino/build/remote-job.txt"));
    }
    EXPECT_EQ(readText(t.root() + "/species/dino/build/build.log"), "built in the first\n");
    EXPECT_EQ(readText(other + "/species/dino/build/build.log"), "built in the second\n");
}

TEST(LogLines, CutsLongLinesOnACharacterBoundary) {
    const std::string e = "\xC3\xA9";  // two bytes
    struct Case {
        std::string line, shown;
    } cases[] = {
        {std::string(kLogLineBytes, 'a'), std::string(kLogLineBytes, 'a')},
        {std::string(kLogLineBytes + 1, 'a'), std::string(kLogLineBytes, 'a') + kLogLineCut},
        // The cut would fall inside é: the whole é goes.
        {std::string(kLogLineBytes - 1, 'a') + e + "b",
         std::string(kLogLineBytes - 1, 'a') + kLogLineCut},
        {std::string(kLogLineBytes - 2, 'a') + e + "b",
         std::string(kLogLineBytes - 2, 'a') + e + kLogLineCut},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shownLogLine(c.line), c.shown);
}

TEST_F(JobTest, ResumeFindsOnlyAValidStoredIdAndFollowsOnceAtATime) {
    struct Case {
        std::string name;
        std::string stored;  // "" means no job file
        std::string species;
        bool followed;
    } cases[] = {
        {"an id with a line end and blanks", "j1\r\n  ", "dino", true},
        {"no job file", "", "dino", false},
        {"an empty file", "\n", "dino", false},
        {"a relative path", "../j1", "dino", false},
        {"an id that is a URL", "j1?x=1", "dino", false},
        {"a name against the rule", "j1", "Dino", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.script(
            {{"jobs", {{{"id", "j1"}, {"species", "dino"}, {"stages", {{{"state", "failed"}}}}}}}});
        std::filesystem::remove(jobFile("dino"));
        if (!c.stored.empty()) writeText(jobFile("dino"), c.stored);
        const std::size_t before = requestsTo("/api/jobs/").size();
        t.send(cmd("buildResume", "name", c.species));
        std::vector<json> seen = untilIdle();
        EXPECT_EQ(requestsTo("/api/jobs/").size() > before, c.followed);
        EXPECT_EQ(seen.empty(), !c.followed);
    }
    // No server folder: nothing.
    writeText(jobFile("dino"), "j1");
    t.app.serverRoot.set("");
    t.send(cmd("buildResume", "name", "dino"));
    EXPECT_TRUE(untilIdle().empty());
    t.app.serverRoot.set(t.root());

    // A species already followed is not followed twice.
    ASSERT_TRUE(t.app.followedSpecies.tryClaim(ws("dino")));
    t.send(cmd("buildResume", "name", "dino"));
    EXPECT_EQ(notices(untilIdle()),
              (Notices{{true,
                        "A remote build of this species is already running. Wait for it "
                        "to end or cancel it."}}));
    t.app.followedSpecies.release(ws("dino"));
}

TEST_F(JobTest, CancelAsksTheServiceAndTheTrackerReportsIt) {
    // A tracker follows a running job; the cancel makes the next poll see it cancelled.
    service.script(
        {{"jobs", {{{"id", "j1"}, {"species", "dino"}, {"stages", {{{"state", "running"}}}}}}}});
    writeText(jobFile("dino"), "j1");
    std::atomic<int> polls{0};
    t.app.remoteTimings.wait = [&](std::uint32_t) {
        if (++polls == 3) t.send(cmd("buildCancel", "name", "dino"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    t.send(cmd("buildResume", "name", "dino"));
    std::vector<json> seen = until([](const json& m) { return m["type"] == "species"; });
    untilIdle();
    EXPECT_EQ(notices(seen), (Notices{{false, "Build cancelled."}}));
    EXPECT_EQ(remote(seen).back(), "cancelled|Cancelled by request.");
    EXPECT_FALSE(exists(jobFile("dino")));
    EXPECT_EQ(requestsTo("/api/jobs/j1/cancel").size(), 1u);
    EXPECT_EQ(headerOf(requestsTo("/api/jobs/j1/cancel")[0], "Authorization"), "Bearer test-token");
}

TEST_F(JobTest, CancelFailuresAndGuards) {
    struct Case {
        std::string name;
        std::string stored;
        json rules;
        Notices notices;
        std::size_t requests;
    } cases[] = {
        {"refused",
         "j1",
         {{{"path", "/api/jobs/j1/cancel"},
           {"status", 409},
           {"json", {{"error", "Already ended."}}}}},
         {{true, "Cancel failed: Already ended."}},
         1},
        {"no such job", "nojob", json::array(), {{true, "Cancel failed: No such job."}}, 1},
        {"no job file", "", json::array(), {}, 0},
        {"an id that is a path", "a/b", json::array(), {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.script({{"jobs", {{{"id", "j1"}, {"species", "dino"}}}}, {"rules", c.rules}});
        std::filesystem::remove(jobFile("dino"));
        if (!c.stored.empty()) writeText(jobFile("dino"), c.stored);
        const std::size_t before = requestsTo("/api/jobs/").size();
        t.send(cmd("buildCancel", "name", "dino"));
        EXPECT_EQ(notices(untilIdle()), c.notices);
        EXPECT_EQ(requestsTo("/api/jobs/").size() - before, c.requests);
        EXPECT_EQ(exists(jobFile("dino")), !c.stored.empty()) << "the job file is not touched";
    }
}

// buildCancel ends the tool's own part too: a result that crawls in is no longer waited for
// (the job file stays, so it can be fetched later), and a job the service never confirms as
// cancelled is followed no further.
TEST_F(JobTest, CancelEndsTheDownloadAndTheTracking) {
    struct Case {
        const char* what;
        json stages;
        json rules;
        Notices notices;  // in any order: the cancel worker and the tracker speak at once
        std::string last;
    } cases[] = {
        {"a result that trickles",
         {{{"state", "done"}}},
         {{{"method", "GET"},
           {"path", "/api/jobs/j1/result"},
           {"action", "trickle"},
           {"bytes", 100000}}},
         {{true, "Cancel failed: The build has already ended."},
          {true, "Could not download the result: Stopped."}},
         "failed|Stopped."},
        {"a service that ignores the cancel",
         {{{"state", "running"}}},
         {{{"method", "POST"},
           {"path", "/api/jobs/j1/cancel"},
           {"status", 200},
           {"json", json::object()}}},
         {{true,
           "Stopped following the build: the build service did not confirm the cancel. Resume "
           "the build to follow it again."}},
         "lost|Cancel not confirmed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        service.script({{"jobs", {{{"id", "j1"}, {"species", "dino"}, {"stages", c.stages}}}},
                        {"rules", c.rules}});
        writeText(jobFile("dino"), "j1");
        std::atomic<bool> cancelled{false};
        t.app.remoteTimings.wait = [&](std::uint32_t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        };
        t.send(cmd("buildResume", "name", "dino"));
        // Cancelled once the tracker is in the download, or has polled a few times.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!cancelled && std::chrono::steady_clock::now() < until) {
            if (!requestsTo("/api/jobs/j1/result").empty() ||
                requestsTo("/api/jobs/j1").size() > 3) {
                t.send(cmd("buildCancel", "name", "dino"));
                cancelled = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(cancelled);
        std::vector<json> seen = untilIdle();
        Notices said = notices(seen);
        std::sort(said.begin(), said.end());
        Notices wanted = c.notices;
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(said, wanted);
        ASSERT_FALSE(remote(seen).empty());
        EXPECT_EQ(remote(seen).back(), c.last);
        EXPECT_TRUE(exists(jobFile("dino")));
        EXPECT_EQ(installed(), 0);
    }
}

}  // namespace

}  // namespace remote
