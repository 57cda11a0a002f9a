// The sign-in when the process has no descriptor left for its listener: POSIX limits, which
// Windows does not have in that form (sign_in_win32_test.cpp).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "sign_in_fixture.h"

namespace remote {

namespace {

// With no descriptor left for a socket the listener cannot be opened; the sign-in ends at
// once with its notice and opens nothing.
TEST_F(SignInTest, NoLocalPortEndsTheSignIn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtimes need descriptors of their own (their reports, starting the
    // worker's thread), so taking every one tests them rather than the sign-in.
    GTEST_SKIP() << "needs every file descriptor taken, which the sanitizers cannot run with";
#endif
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    std::vector<int> held;
    rlimit tight = old;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
        held.push_back(fd);
    t.send(cmd("buildLogin"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!t.app.workers.idle() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (int fd : held)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &old);
    std::vector<json> seen = untilIdle();
    EXPECT_EQ(notices(seen), (Notices{{true, "Could not open a local port for the sign in."}}));
    EXPECT_EQ(seen.back()["type"], "species");
    EXPECT_EQ(seen.back()["build"]["signingIn"], false);
    EXPECT_TRUE(opened().empty());
}

}  // namespace

}  // namespace remote
