// The settings reader and writer on any file: a value stored must read back as stored.
#include "utility/SettingsText.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace zlv::settingstext;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Entries entries{{"Time", "HH:MM:SS"}, {"Day", " D "}, {"New", ""}};
    const std::string after = WithValues(text, "DTF", entries, "\n");
    for (const auto& [key, value] : entries) {
        if (Find(after, "DTF", key) != value) {
            std::abort();
        }
    }
    // Every line ends alike (CR LF, or LF alone), and a second save changes nothing.
    std::ptrdiff_t pairs = 0;
    for (auto at = after.find("\r\n"); at != std::string::npos; at = after.find("\r\n", at + 2)) {
        ++pairs;
    }
    const auto cr = std::count(after.begin(), after.end(), '\r');
    if ((cr && (cr != pairs || std::count(after.begin(), after.end(), '\n') != pairs)) ||
        WithValues(after, "DTF", entries, "\n") != after) {
        std::abort();
    }
    return 0;
}
