#pragma once

namespace platform::win32 {

// Starts Windows Sockets once for the life of the process, never stopping it: another
// thread's socket may still be open when any one user is done. False when it cannot start.
bool startWinsock();

}  // namespace platform::win32
