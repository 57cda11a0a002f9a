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
// test it like a bool. A class rather than an alias so that no caller can drop it unread:
// a write whose failure nobody looks at is how a save silently goes missing.
template <typename T = void>
class [[nodiscard]] Result : public std::expected<T, Failure> {
  public:
    using std::expected<T, Failure>::expected;
    Result(std::expected<T, Failure> other) : std::expected<T, Failure>(std::move(other)) {}
};

// The failure as a value to return: `return fail(ENOENT, "open");`.
inline std::unexpected<Failure> fail(int code, std::string what) {
    return std::unexpected(Failure{code, std::move(what)});
}

}  // namespace platform
