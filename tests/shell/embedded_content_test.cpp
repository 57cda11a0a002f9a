#include "shell/embedded_content.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

TEST(UriPath, FindsThePathAfterTheHost) {
    EXPECT_EQ(uriPath("https://app.example/index.html"), "/index.html");
    EXPECT_EQ(uriPath("https://app.example"), "/index.html");
    EXPECT_EQ(uriPath("https://app.example/"), "/index.html");
    EXPECT_EQ(uriPath("https://app.example/?x=1#y"), "/index.html");
    EXPECT_EQ(uriPath("https://app.example/app.js?v=2"), "/app.js");
    EXPECT_EQ(uriPath("https://app.example/a/b.js#frag?not"), "/a/b.js");
    EXPECT_EQ(uriPath("https://"), "/index.html");
    // Without a scheme the whole text is the path.
    EXPECT_EQ(uriPath("/addons/x.js?y"), "/addons/x.js");
    EXPECT_EQ(uriPath(""), "/index.html");
    EXPECT_EQ(uriPath("ab"), "ab");
    // Nothing is decoded or resolved.
    EXPECT_EQ(uriPath("https://h/%61pp.js"), "/%61pp.js");
    EXPECT_EQ(uriPath("https://h/x/../app.js"), "/x/../app.js");
}

TEST(Routes, MatchWithoutRegardToCaseAndNeverDecode) {
    EXPECT_EQ(findRoute("/index.html"), 101u);
    EXPECT_EQ(findRoute("/APP.JS"), 103u);
    EXPECT_EQ(findRoute("/addons/libs/FFLATE.module.js"), 117u);
    EXPECT_EQ(findRoute("/missing.js"), 0u);
    EXPECT_EQ(findRoute("/%61pp.js"), 0u);
    EXPECT_EQ(findRoute("app.js"), 0u);
    EXPECT_EQ(findRoute("/app.js/"), 0u);
}

TEST(Routes, EveryRouteHasItsFileAndIdsAreUnique) {
    std::set<unsigned> ids;
    for (std::size_t i = 0; i < kResourceRouteCount; ++i) {
        const ResourceRoute& route = kResourceRoutes[i];
        EXPECT_TRUE(ids.insert(route.id).second) << route.path;
        EXPECT_FALSE(embeddedBytes(route.id).empty()) << route.path;
    }
    EXPECT_TRUE(embeddedBytes(999).empty());
}

TEST(Routes, EveryPageFileIsServedAtItsPathAndTheLibrariesKeepTheirIds) {
    // A module added under ui/ must be reachable without anyone listing it.
    const std::filesystem::path ui = std::filesystem::path(FORGESET_SOURCE_DIR) / "ui";
    std::size_t pageFiles = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(ui);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && name == "node_modules") {
            it.disable_recursion_pending();
            continue;
        }
        const std::string ext = it->path().extension().string();
        if (!it->is_regular_file() || name == "eslint.config.js" ||
            (ext != ".js" && ext != ".css" && ext != ".html"))
            continue;
        const std::string route = "/" + it->path().lexically_relative(ui).generic_string();
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(embeddedBytes(findRoute(route)), text.str()) << route;
        ++pageFiles;
    }
    EXPECT_GE(pageFiles, 7u);
    EXPECT_EQ(kResourceRouteCount, pageFiles + 11) << "the page files and eleven library files";

    const std::pair<const char*, unsigned> fixed[] = {
        {"/app.css", 102},
        {"/studio.js", 104},
        {"/ai.js", 105},
        {"/species.js", 106},
        {"/animpreview.js", 107},
        {"/three.module.js", 110},
        {"/addons/curves/NURBSUtils.js", 119},
    };
    for (auto [route, id] : fixed)
        EXPECT_EQ(findRoute(route), id) << route;
    EXPECT_TRUE(embeddedBytes(findRoute("/package.json")).empty());
    EXPECT_TRUE(embeddedBytes(findRoute("/eslint.config.js")).empty());
}

TEST(Routes, EmbeddedBytesAreTheFilesAsBuilt) {
    // The generator must not lose or alter a byte: compare with the sources.
    const std::pair<unsigned, const char*> files[] = {
        {101, "ui/index.html"},
        {111, "ui/node_modules/three/build/three.core.js"},
        {117, "ui/node_modules/fflate/esm/browser.js"},
    };
    for (auto [id, relative] : files) {
        std::ifstream in(std::string(FORGESET_SOURCE_DIR) + "/" + relative, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(embeddedBytes(id), text.str()) << relative;
    }
}

TEST(MimeTypes, FollowTheEndingWithoutRegardToCase) {
    EXPECT_EQ(mimeTypeFor("/index.html"), "text/html");
    EXPECT_EQ(mimeTypeFor("/A.CSS"), "text/css");
    EXPECT_EQ(mimeTypeFor("/x.Js"), "text/javascript");
    EXPECT_EQ(mimeTypeFor("/t.png"), "image/png");
    EXPECT_EQ(mimeTypeFor("/i.svg"), "image/svg+xml");
    EXPECT_EQ(mimeTypeFor("/mesh.glb"), "application/octet-stream");
    EXPECT_EQ(mimeTypeFor("/html"), "application/octet-stream");
}

TEST(ServeEmbedded, AnswersRoutesWithTheirTypeAndNothingElse) {
    for (const char* uri :
         {"https://app.example", "https://app.example/", "https://app.example/?x=1#y"}) {
        auto response = serveEmbeddedResource(uri);
        ASSERT_TRUE(response) << uri;
        EXPECT_EQ(response->mimeType, "text/html");
        EXPECT_EQ(response->body, embeddedBytes(101));
    }
    auto js = serveEmbeddedResource("https://any.host/APP.JS?v=2");
    ASSERT_TRUE(js);
    EXPECT_EQ(js->mimeType, "text/javascript");
    EXPECT_EQ(js->body, embeddedBytes(103));
    EXPECT_FALSE(serveEmbeddedResource("https://app.example/missing.js"));
    EXPECT_FALSE(serveEmbeddedResource("https://app.example/%61pp.js"));
    EXPECT_EQ(embeddedResponseHeaders("text/css"),
              "Content-Type: text/css\r\nCache-Control: no-cache\r\n");
}
