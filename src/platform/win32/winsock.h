#pragma once
// winsock2.h before windows.h, which would otherwise bring the old winsock.h.
#include <winsock2.h>

#include <string>
#include <utility>

#include "platform/server_socket.h"
#include "platform/win32/errors.h"

namespace platform::win32 {

// Starts Windows Sockets once for the life of the process, never stopping it: another
// thread's socket may still be open when any one user is done. False when it cannot start.
bool startWinsock();

}  // namespace platform::win32

namespace platform::net {

// The system's socket behind the number the shared code keeps.
inline SOCKET native(SocketId socket) {
    return static_cast<SOCKET>(socket);
}

// The failure of a step, from the calling thread's last Windows Sockets error.
inline std::unexpected<Failure> failSocket(std::string what) {
    return win32::failWindows(static_cast<unsigned long>(::WSAGetLastError()), std::move(what));
}

}  // namespace platform::net
