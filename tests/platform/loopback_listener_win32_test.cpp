#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/command_line.h"
#include "platform/http.h"
#include "platform/loopback_listener.h"
#include "platform/win32/wide.h"
#include "test_child_win32.h"

namespace {

// A program started while the listener is open, even by someone who hands on every
// inheritable handle, must not hold its socket: once we close it the port must refuse
// connections, or the sign-in callback could be left waiting in a stranger's hands.
TEST(LoopbackListenerWin32, AChildDoesNotKeepTheListenerOpen) {
    auto listener = platform::LoopbackListener::open();
    ASSERT_TRUE(listener);
    const int port = listener->port();
    std::wstring line =
        platform::win32::toWide(*platform::joinCommandLine(testChild({"sleep", "3000"})));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &startup, &child));
    listener = platform::fail(0, "closed");
    platform::HttpRequest request;
    request.method = "GET";
    request.url = "http://127.0.0.1:" + std::to_string(port) + "/callback";
    request.timeouts = {.resolveMs = 1000, .connectMs = 1000, .sendMs = 1000, .receiveMs = 1000};
    auto reply = platform::httpExchange(request);
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error(), platform::HttpFailure::cannotReach);
    ::TerminateProcess(child.hProcess, 0);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
}

}  // namespace
