#pragma once
#include <sys/types.h>

// The process groups of the children the process runners are waiting for, kept so that the
// end of the program can end them too (platform::endRunningChildren).
namespace platform {

// Notes a child's group from the moment it exists. When the program is already ending, the
// group is ended at once instead.
void rememberChildGroup(pid_t group);

// Drops the group before its leader is reaped, so that a number the system hands out again
// is never signalled.
void forgetChildGroup(pid_t group);

}  // namespace platform
