#include <gtest/gtest.h>

#include "shell/commands.h"
#include "shell/embedded_content.h"
#include "shell/serve_client.h"

using namespace serve_test;

// Browsers ask for compressed answers; compressing three.js on every request took seconds
// over loopback, so the host sends every body as it is.
TEST(ServeEncoding, AnswersGoOutUncompressedWhateverTheBrowserAccepts) {
    HostUnderTest h(commandTable());
    for (const char* target : {"/three.core.js", "/app.js", "/"}) {
        std::vector<std::string> headers = h.page();
        headers.push_back("Accept-Encoding: gzip, deflate, br, zstd");
        Reply reply = roundTrip(h.port(), requestText("GET", target, headers));
        ASSERT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.count("Content-Encoding"), 0u) << target;
    }
    std::vector<std::string> headers = h.page();
    headers.push_back("Accept-Encoding: br");
    Reply reply = roundTrip(h.port(), requestText("GET", "/three.core.js", headers));
    // Compared as a flag: a failure would otherwise print 1.4 MB of script.
    EXPECT_TRUE(reply.body == embeddedBytes(findRoute("/three.core.js")))
        << "body of " << reply.body.size() << " bytes";
}
