// What sign_in_posix_test.cpp checks where POSIX has it, said for Windows.
#include "sign_in_fixture.h"

namespace remote {

namespace {

TEST_F(SignInTest, NoLocalPortEndsTheSignIn) {
    GTEST_SKIP() << "Windows has no per-process limit on sockets that a test could exhaust, as "
                    "RLIMIT_NOFILE is on Linux";
}

}  // namespace

}  // namespace remote
