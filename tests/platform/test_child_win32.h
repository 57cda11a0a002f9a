#pragma once
// The Windows process tests start their own program as the child: run with "--test-child"
// and a role, it plays that role and exits before any test runs. A Linux program started
// under Wine gives no handle, exit code or output back, so the child must be a Windows one.
#include <initializer_list>
#include <string>
#include <vector>

// The argument vector that starts this program in a role, e.g. {"sleep", "400", "late"}.
std::vector<std::string> testChild(std::initializer_list<std::string> roleAndArguments);

// Full path of this test program.
std::string testProgramPath();
