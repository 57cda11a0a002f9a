// uploadPackage against the fake service: parts, progress, retries with their waits, and
// every way the service can refuse or answer wrongly.
#include <fstream>

#include "bridge/build_service.h"
#include "remote/upload.h"
#include "remote_fixture.h"
#include "support/process_memory.h"

namespace remote {

namespace {

// Where a header stands among those sent; the bearer line comes first of the tool's own.
std::size_t headerIndex(const json& request, const std::string& name) {
    const json& headers = request["headers"];
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (headers[i][0] == name) return i;
    }
    return headers.size();
}

class UploadTest : public RemoteTest {
  protected:
    UploadOutcome upload(const std::string& bytes) {
        writeText(archive(), bytes);
        return uploadPackage(
            t.app, {t.root(), "dino", archive(), "test-token", t.app.buildServiceTimeouts});
    }
    std::string archive() const { return t.home / "dino.zip"; }
    std::size_t partRequests() const {
        std::size_t count = 0;
        for (const json& r : requestsTo("/api/uploads/"))
            count += r["method"] == "PUT";
        return count;
    }
};

TEST_F(UploadTest, TenBytesGoAsThreePartsWithTheirProgress) {
    service.script({{"partSize", 4}, {"expectArchive", archive()}});
    UploadOutcome outcome = upload("0123456789");
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.jobId, "job-1");
    EXPECT_EQ(remote(t.take()), (std::vector<std::string>{
                                    "uploading|Uploading 33 %", "uploading|Uploading 66 %",
                                    "uploading|Uploading 100 %", "uploading|Checking the upload"}));
    const std::vector<json> requests = service.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0]["method"], "POST");
    EXPECT_EQ(requests[0]["path"], "/api/uploads");
    EXPECT_EQ(requests[0]["body"], R"({"size":10})");
    EXPECT_EQ(headerOf(requests[0], "Authorization"), "Bearer test-token");
    EXPECT_LT(headerIndex(requests[0], "Authorization"), headerIndex(requests[0], "X-Species"));
    EXPECT_LT(headerIndex(requests[0], "X-Species"), headerIndex(requests[0], "Content-Type"));
    EXPECT_EQ(headerOf(requests[0], "X-Species"), "dino");
    EXPECT_EQ(headerOf(requests[0], "Content-Type"), "application/json");
    const std::string bodies[] = {"0123", "4567", "89"};
    for (int i = 0; i < 3; ++i) {
        const json& part = requests[1 + i];
        EXPECT_EQ(part["method"], "PUT");
        EXPECT_EQ(part["path"], "/api/uploads/up-1/parts/" + std::to_string(i));
        EXPECT_EQ(part["body"], bodies[i]);
        EXPECT_EQ(headerOf(part, "Content-Type"), "application/octet-stream");
        EXPECT_EQ(headerOf(part, "Authorization"), "Bearer test-token");
        EXPECT_LT(headerIndex(part, "Authorization"), headerIndex(part, "Content-Type"));
    }
    EXPECT_EQ(requests[4]["path"], "/api/uploads/up-1/complete");
    EXPECT_EQ(requests[4]["bodySize"], 0);
    EXPECT_EQ(service.state()["uploads"]["up-1"]["matchesArchive"], true);
}

TEST_F(UploadTest, PartsAreRetriedOnlyForPassingTroubleWithGrowingWaits) {
    struct Case {
        std::string name;
        json rule;
        std::string error;
        std::vector<std::uint32_t> waits;
        std::size_t attempts;
    } cases[] = {
        {"503 three times, then accepted",
         {{"count", 3}, {"status", 503}},
         "",
         {2000, 4000, 6000},
         4},
        {"503 four times",
         {{"count", 4}, {"status", 503}, {"json", {{"error", "Try later."}}}},
         "Upload failed: Try later.",
         {2000, 4000, 6000},
         4},
        {"413 fails at once",
         {{"status", 413}, {"json", {{"error", "Too large."}}}},
         "Upload failed: Too large.",
         {},
         1},
        {"404 fails at once",
         {{"status", 404}},
         "Upload failed: The build service answered with status 404.",
         {},
         1},
        {"408 is retried", {{"count", 1}, {"status", 408}}, "", {2000}, 2},
        {"429 is retried", {{"count", 2}, {"status", 429}}, "", {2000, 4000}, 3},
        {"a dropped connection is retried", {{"count", 1}, {"action", "close"}}, "", {2000}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json rule = c.rule;
        rule["method"] = "PUT";
        rule["path"] = "/api/uploads/*/parts/0";
        service.script({{"partSize", 1 << 20}, {"rules", {rule}}});
        const std::size_t partsBefore = partRequests();
        const auto waitsBefore = waits().size();
        UploadOutcome outcome = upload("bytes of the archive");
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.jobId.empty(), !c.error.empty());
        const std::vector<std::uint32_t> all = waits();
        std::vector<std::uint32_t> waited(all.begin() + static_cast<long>(waitsBefore), all.end());
        EXPECT_EQ(waited, c.waits);
        EXPECT_EQ(partRequests() - partsBefore, c.attempts);
        std::vector<std::string> shown = remote(t.take());
        if (c.error.empty()) {
            EXPECT_EQ(shown.front(), "uploading|Uploading 100 %");
        } else {
            EXPECT_TRUE(shown.empty());
        }
    }
}

TEST_F(UploadTest, RefusedOrWrongAnswersEndTheUploadWithTheirWords) {
    auto grant = [](json body) {
        return json{{"method", "POST"}, {"path", "/api/uploads"}, {"status", 201}, {"json", body}};
    };
    struct Case {
        std::string name;
        json rules;
        std::string error;
    } cases[] = {
        {"service trouble at the start",
         {{{"path", "/api/uploads"}, {"status", 500}, {"json", {{"error", "Busy."}}}}},
         "Busy."},
        {"no part size",
         {grant({{"uploadId", "u1"}})},
         "The build service did not start the upload."},
        {"part size 0",
         {grant({{"uploadId", "u1"}, {"partSize", 0}})},
         "The build service did not start the upload."},
        {"negative part size",
         {grant({{"uploadId", "u1"}, {"partSize", -4}})},
         "The build service did not start the upload."},
        {"an upload id that is a path",
         {grant({{"uploadId", "../../evil"}, {"partSize", 4}})},
         "The build service did not start the upload."},
        {"an upload id with a query",
         {grant({{"uploadId", "u1?x=1"}, {"partSize", 4}})},
         "The build service did not start the upload."},
        {"no upload id", {grant({{"partSize", 4}})}, "The build service did not start the upload."},
        {"complete refused",
         {{{"path", "/api/uploads/*/complete"},
           {"status", 400},
           {"json", {{"error", "Part 2 is missing."}}}}},
         "Part 2 is missing."},
        {"a job id that is a path",
         {{{"path", "/api/uploads/*/complete"}, {"status", 201}, {"json", {{"id", "a/../b"}}}}},
         "The build service did not return a job id."},
        {"no job id",
         {{{"path", "/api/uploads/*/complete"}, {"status", 200}, {"json", json::object()}}},
         "The build service did not return a job id."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.script({{"partSize", 4}, {"rules", c.rules}});
        UploadOutcome outcome = upload("0123456789");
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.jobId, "");
        t.take();
    }
    // Nothing a wrong id said reached an address.
    for (const json& r : service.requests()) {
        EXPECT_EQ(r["target"].get<std::string>().find("evil"), std::string::npos);
        EXPECT_EQ(r["target"].get<std::string>().find("?x=1"), std::string::npos);
    }
}

TEST_F(UploadTest, A401AtTheStartSignsTheUserOut) {
    signIn();
    service.script({{"rules", {{{"path", "/api/uploads"}, {"status", 401}}}}});
    UploadOutcome outcome = upload("0123456789");
    EXPECT_EQ(outcome.error, "Your sign in expired. Sign in again.");
    EXPECT_FALSE(exists(bridge::credentialsPath()));
}

TEST_F(UploadTest, AMissingArchiveIsNotSent) {
    UploadOutcome outcome = uploadPackage(
        t.app, {t.root(), "dino", t.home / "none.zip", "test-token", t.app.buildServiceTimeouts});
    EXPECT_EQ(outcome.error, "Could not read the upload file.");
    EXPECT_TRUE(service.requests().empty());
}

// A service may ask for parts of any size; each is streamed from its range of the file.
TEST_F(UploadTest, AHugePartSizeDoesNotBringThePartIntoMemory) {
    service.script({{"partSize", 1ull << 50}, {"keepParts", false}});
    const std::size_t size = 96u << 20;
    {
        std::ofstream file(archive(), std::ios::binary);
        std::string block(1 << 20, 'x');
        for (std::size_t i = 0; i < size; i += block.size())
            file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    const long before = peakResidentKiB();
    UploadOutcome outcome = uploadPackage(
        t.app, {t.root(), "dino", archive(), "test-token", t.app.buildServiceTimeouts});
    const long grown = peakResidentKiB() - before;
    EXPECT_EQ(outcome.error, "");
    EXPECT_LT(grown, 24 * 1024) << "the upload held " << grown << " KiB more at its peak";
    EXPECT_EQ(requestsTo("/api/uploads/up-1/parts/").size(), 1u);
    EXPECT_EQ(requestsTo("/api/uploads/up-1/parts/")[0]["bodySize"], size);
}

// A part is sent from its range of the file; a range the file does not hold is not sent.
TEST_F(UploadTest, ARangeOfTheFileIsTheWholeBody) {
    service.script({{"rules", {{{"method", "PUT"}, {"path", "/range"}, {"status", 200}}}}});
    writeText(archive(), "0123456789");
    struct Case {
        std::uint64_t offset, length;
        std::string body;  // "!" for a refused range
    } cases[] = {
        {0, 4, "0123"}, {4, 4, "4567"}, {8, 2, "89"}, {0, 10, "0123456789"},
        {10, 0, ""},    {8, 3, "!"},    {11, 0, "!"}, {0, 1ull << 62, "!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
        const std::size_t before = requestsTo("/range").size();
        bridge::BuildServiceResponse r =
            bridge::buildServiceRequest(t.app.buildServiceTimeouts, "PUT", "/range", "",
                                        bridge::FileRange{archive(), c.offset, c.length});
        if (c.body == "!") {
            EXPECT_EQ(r.error, "Could not read the upload file.");
            EXPECT_EQ(requestsTo("/range").size(), before) << "nothing was sent";
        } else {
            EXPECT_EQ(r.status, 200u);
            ASSERT_EQ(requestsTo("/range").size(), before + 1);
            EXPECT_EQ(requestsTo("/range").back()["body"], c.body);
            EXPECT_EQ(requestsTo("/range").back()["bodySize"], c.body.size());
        }
    }
}

// A service that answers the upload start one byte every 100 ms is never silent long enough
// for the receive limit, yet must not hold the upload (and the busy flag) for ever.
TEST_F(UploadTest, AnAnswerThatTricklesForEverEndsAtItsDeadline) {
    signIn();
    t.app.buildServiceTimeouts.overallMs = 1500;
    t.app.buildServiceTimeouts.msPerMiB = 0;
    service.script({{"rules",
                     {{{"method", "POST"},
                       {"path", "/api/uploads"},
                       {"action", "trickle"},
                       {"bytes", 100000}}}}});
    const auto start = std::chrono::steady_clock::now();
    UploadOutcome outcome = upload("0123456789");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(outcome.error.find("The build service did not answer."), std::string::npos)
        << outcome.error;
    EXPECT_TRUE(outcome.jobId.empty());
}

}  // namespace

}  // namespace remote
