#pragma once
#include <windows.h>

// The Job objects of the children the process runners are waiting for, kept so that the end
// of the program can end them too (platform::endRunningChildren).
namespace platform::win32 {

// Notes a child's job from the moment the child is in it. When the program is already
// ending, the job is ended at once instead.
void rememberChildJob(HANDLE job);

// Drops the job before its handle is closed, so that a handle value the system hands out
// again is never ended by mistake.
void forgetChildJob(HANDLE job);

}  // namespace platform::win32
