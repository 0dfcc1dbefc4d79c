#pragma once

// The Windows program's share of a benchmark: bench/windows/win_bench.exe of the Windows
// build tree (cmake -B build-windows with the mingw toolchain file), run under Wine in a
// prefix of its own that lives as long as this object.
#include <optional>
#include <string>
#include <vector>

namespace zlv::bench {

class WineHelper final
{
public:
    WineHelper();
    ~WineHelper();
    WineHelper(const WineHelper&) = delete;
    WineHelper& operator=(const WineHelper&) = delete;

    // Why there is no Windows run; empty when there is one.
    const std::string& missing() const { return m_missing; }

    // Runs the helper with `arguments`; its standard output, or nullopt when it failed.
    // `firstLineMs` receives the time from the start until its first line arrived.
    std::optional<std::string> run(const std::vector<std::string>& arguments,
                                   double* firstLineMs = nullptr);

private:
    std::string m_missing;
    std::string m_root;
};

// The number after "key: " in a helper's output.
std::optional<double> Figure(const std::string& output, const std::string& key);

double Median(std::vector<double> values);

} // namespace zlv::bench
