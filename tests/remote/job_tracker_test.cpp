// Following a stored job through buildResume and the real dispatcher: every ending of a job,
// the tolerance for failed polls, the log, buildResume's and buildCancel's guards.
#include "remote/log_lines.h"
#include "remote/remote_paths.h"
#include "remote_fixture.h"

namespace {

const std::string kFinished =
    "Build finished. The species is in client-mods and server-mods. Restart the server to load "
    "it.";
const std::string kIncomplete = "The result is incomplete, the pak files are missing.";

class JobTest : public RemoteTest {
  protected:
    JobTest() {
        signIn();
        makeSpecies("dino", {});
    }

    // A job "j1" of dino with this plan, stored in the workspace and followed until the
    // tracker ends.
    std::vector<json> follow(json plan, const json& rules = json::array(),
                             const std::string& stored = "j1") {
        plan["id"] = "j1";
        plan["species"] = "dino";
        service.script({{"jobs", {plan}}, {"rules", rules}});
        writeText(jobFile("dino"), stored);
        t.send(cmd("buildResume", "name", "dino"));
        return untilIdle();
    }

    int installed() const {
        int count = 0;
        for (const char* folder : {"/client-mods/", "/server-mods/"}) {
            for (const char* ext : {".pak", ".utoc", ".ucas"})
                count += exists(t.root() + folder + "species_dino" + ext);
        }
        return count;
    }
};

json stages(const std::vector<json>& list) {
    return json{{"stages", list}};
}

json withKeys(json base, const json& more) {
    base.update(more);
    return base;
}

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

TEST_F(JobTest, HugeLogsReachThePageInBoundedPieces) {
    struct Case {
        std::string name;
        json flood;
        std::size_t messages;
        std::string first;
    } cases[] = {
        {"a million lines",
         {{"lines", 1000000}, {"bytes", 1}},
         1001,
         "[999000 earlier lines not shown]"},
        {"a 4 MB line",
         {{"lines", 1}, {"bytes", 4000000}},
         1,
         std::string(kLogLineBytes, 'x') + kLogLineCut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<json> seen =
            follow(stages({{{"state", "running"}, {"flood", c.flood}}, {{"state", "failed"}}}));
        std::vector<std::string> lines = logLines(seen);
        ASSERT_EQ(lines.size(), c.messages);
        EXPECT_EQ(lines.front(), c.first);
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), kLogLineBytes + 16);
    }
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

}  // namespace
