#pragma once
// Sets or clears one environment variable for the lifetime of the object and then puts back
// what was there before.
#include <cstdlib>
#include <optional>
#include <string>

#include "support/environment.h"

class ScopedEnv {
  public:
    // A null value clears the variable.
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setEnvironment(name_, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { setEnvironment(name_, old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};
