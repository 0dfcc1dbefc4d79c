#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace zlv::test {

// Sets an environment variable, or unsets it given no value, for as long as it lives; puts
// back what was there before, also when a failed check ends the test early.
struct ScopedEnv
{
    ScopedEnv(const char* n, const std::optional<std::string>& value)
        : name(n), old(std::getenv(n) ? std::optional<std::string>(std::getenv(n)) : std::nullopt)
    {
        set(value);
    }
    ~ScopedEnv() { set(old); }
    void set(const std::optional<std::string>& value) const
    {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }

    const char* name;
    const std::optional<std::string> old;
};

} // namespace zlv::test
