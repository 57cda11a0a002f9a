#pragma once
#include <expected>
#include <string>
#include <utility>

namespace platform {

// Why an operation of the platform layer failed. `code` is the system's error number
// (ENOENT, EACCES, ...), or 0 where there is none to give; `what` says which step failed, in
// words fit for a diagnostic line.
struct Failure {
    int code = 0;
    std::string what;
};

// A value, or the reason there is none. Callers that only need to know whether it worked
// test it like a bool.
template <typename T = void>
using Result = std::expected<T, Failure>;

// The failure as a value to return: `return fail(ENOENT, "open");`.
inline std::unexpected<Failure> fail(int code, std::string what) {
    return std::unexpected(Failure{code, std::move(what)});
}

}  // namespace platform
