#include "platform/win32/winsock.h"

#include <winsock2.h>

#include <mutex>

namespace platform::win32 {

bool startWinsock() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

}  // namespace platform::win32
