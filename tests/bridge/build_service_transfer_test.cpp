// Upload files and download files through buildServiceRequest, against the fake build
// service on loopback.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bridge/build_service.h"
#include "support/fake_build_service.h"
#include "support/held_files.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace bridge {

namespace fs = std::filesystem;

namespace {

using nlohmann::json;

const std::string bearer = bearerHeader("test-token");
const std::string octets = "Content-Type: application/octet-stream\r\n";

platform::HttpTimeouts quick() {
    return {.resolveMs = 2000, .connectMs = 2000, .sendMs = 5000, .receiveMs = 5000};
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class BuildServiceTransferTest : public ::testing::Test {
  protected:
    ScopedEnv noProxy{"no_proxy", "*"};
    FakeBuildService fake;
    TempDir dir;
};

TEST_F(BuildServiceTransferTest, UploadFileGoesOutWholeInMebibyteBlocksWithProgress) {
    struct Case {
        std::size_t size;
        std::vector<std::uint64_t> progress;
    };
    const std::uint64_t mib = platform::httpUploadBlock;
    const Case cases[] = {
        {0, {}},
        {10, {10}},
        {mib, {mib}},
        {3 * mib + 5, {mib, 2 * mib, 3 * mib, 3 * mib + 5}},
    };
    for (const Case& c : cases) {
        std::string archive = dir / "archive.zip";
        writeText(archive, pattern(c.size));
        // The whole file as one part, so the fake compares it byte for byte on complete.
        fake.script({{"partSize", std::max<std::size_t>(c.size, 1)}, {"expectArchive", archive}});
        std::string headers = bearer + "X-Species: raptor\r\nContent-Type: application/json\r\n";
        BuildServiceResponse grant =
            buildServiceRequest(quick(), "POST", "/api/uploads", headers, "",
                                "{\"size\":" + std::to_string(c.size) + "}", "");
        ASSERT_EQ(grant.status, 201u) << grant.body;
        std::string id = json::parse(grant.body).at("uploadId");

        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        auto progress = [&calls](std::uint64_t sent, std::uint64_t total) {
            calls.emplace_back(sent, total);
        };
        BuildServiceResponse put =
            buildServiceRequest(quick(), "PUT", "/api/uploads/" + id + "/parts/0", bearer + octets,
                                archive, "ignored", "", progress);
        if (c.size == 0) {
            // An empty archive has no parts; the service says so and nothing was streamed.
            EXPECT_EQ(put.status, 400u);
            EXPECT_TRUE(calls.empty());
            continue;
        }
        EXPECT_EQ(put.status, 200u) << put.body << put.error;
        ASSERT_EQ(calls.size(), c.progress.size()) << c.size;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].first, c.progress[i]);
            EXPECT_EQ(calls[i].second, c.size);
        }
        BuildServiceResponse done = buildServiceRequest(
            quick(), "POST", "/api/uploads/" + id + "/complete", bearer, "", "", "");
        EXPECT_EQ(done.status, 201u) << c.size << " " << done.body;
        EXPECT_EQ(fake.state()["uploads"][id]["matchesArchive"], true);
    }
}

TEST_F(BuildServiceTransferTest, UploadFileThatCannotBeReadSendsNothing) {
    std::string unreadable = dir / "locked.zip";
    writeText(unreadable, "secret");
    UnreadableFile locked(unreadable);
    fs::create_directory(dir / "folder.zip");
    std::vector<std::string> paths = {dir / "missing.zip", dir / "folder.zip"};
    if (locked.holds()) paths.push_back(unreadable);
    for (const std::string& path : paths) {
        BuildServiceResponse r =
            buildServiceRequest(quick(), "PUT", "/sink", bearer + octets, path, "", "");
        EXPECT_EQ(r.error, "Could not read the upload file.") << path;
        EXPECT_EQ(r.status, 0u);
    }
    EXPECT_EQ(fake.requests().size(), 0u);
}

TEST_F(BuildServiceTransferTest, UploadFileThatShrinksWhileSentEndsTheCall) {
    std::string archive = dir / "archive.zip";
    writeText(archive, pattern(3 * platform::httpUploadBlock));
    fake.script({{"rules", {{{"path", "/sink"}, {"status", 200}}}}});
    int calls = 0;
    std::error_code refused;
    auto truncate = [&](std::uint64_t, std::uint64_t) {
        if (++calls == 1) fs::resize_file(archive, platform::httpUploadBlock + 10, refused);
    };
    BuildServiceResponse r =
        buildServiceRequest(quick(), "PUT", "/sink", bearer + octets, archive, "", "", truncate);
    if (refused) {
        // Windows: the upload holds the file against writers, so it cannot shrink meanwhile
        // and goes out whole.
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.status, 200u);
        EXPECT_EQ(calls, 3);
        return;
    }
    EXPECT_EQ(r.error, "Could not read the upload file.");
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(calls, 1);
}

TEST_F(BuildServiceTransferTest, DownloadFileOnlyForStatus200AndNeverHalfWritten) {
    fake.script(
        {{"jobs", {{{"id", "j1"}, {"species", "raptor"}, {"stages", {{{"state", "done"}}}}}}}});
    std::string result = dir / "result.zip";
    struct Case {
        json rules;
        std::uint32_t status;
        bool file;
        std::string error;
    };
    const Case cases[] = {
        {json::array(), 200, true, ""},
        {{{{"path", "/api/jobs/j1/result"}, {"status", 500}, {"json", {{"error", "Disk full."}}}}},
         500,
         false,
         ""},
        {{{{"path", "/api/jobs/j1/result"}, {"action", "cut"}, {"bytes", 300000}}},
         0,
         false,
         "The build service did not answer."},
        {{{{"path", "/api/jobs/j1/result"}, {"status", 200}}}, 200, true, ""},
    };
    for (const Case& c : cases) {
        fs::remove(result);
        fake.script({{"rules", c.rules}});
        BuildServiceResponse r =
            buildServiceRequest(quick(), "GET", "/api/jobs/j1/result", bearer, "", "", result);
        EXPECT_EQ(r.status, c.status) << c.rules;
        EXPECT_EQ(r.error, c.error) << c.rules;
        EXPECT_EQ(fs::exists(result), c.file) << c.rules;
        if (c.status == 500) {
            EXPECT_EQ(describeFailure(r), "Disk full.");
        } else {
            EXPECT_EQ(r.body, "") << "a download's body is in the file";
        }
    }
    // The first case's file is the zip the fake built, whole.
    fake.script(json::object());
    buildServiceRequest(quick(), "GET", "/api/jobs/j1/result", bearer, "", "", result);
    std::string zip = readText(result);
    EXPECT_TRUE(zip.starts_with("PK\x03\x04"));
    EXPECT_NE(zip.find("species_raptor.ucas"), std::string::npos);
    EXPECT_NE(zip.find("build.log"), std::string::npos);
}

TEST_F(BuildServiceTransferTest, DownloadReplacesAnOlderFileAndStreamsLargeAnswersToDisk) {
    std::string result = dir / "result.zip";
    writeText(result, std::string(1 << 20, 'o'));
    fake.script({{"rules", {{{"path", "/big"}, {"action", "flood"}, {"bytes", 9u << 20}}}}});
    BuildServiceResponse r = buildServiceRequest(quick(), "GET", "/big", bearer, "", "", result);
    EXPECT_EQ(r.status, 200u) << r.error;
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(fs::file_size(result), 9u << 20) << "not capped like an answer in memory";
    EXPECT_EQ(readText(result).find('o'), std::string::npos);
}

}  // namespace

}  // namespace bridge
