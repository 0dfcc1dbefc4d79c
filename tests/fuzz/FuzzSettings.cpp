// The settings reader and writer on any file: a value stored must read back as stored.
#include "utility/SettingsText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace zlv::settingstext;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"Sequence", "Separator", "Year", "Month", "Day", "Time"}) {
        (void)Find(text, "DTF", key);
    }
    const Entries entries{{"Time", "HH:MM:SS"}, {"Day", " D "}, {"New", ""}};
    const std::string after = WithValues(text, "DTF", entries, "\n");
    for (const auto& [key, value] : entries) {
        if (Find(after, "DTF", key) != value) {
            std::abort();
        }
    }
    // Every line ends alike (CR LF, or LF alone), and a second save changes nothing.
    const auto count = [&](std::string_view what) {
        std::size_t n = 0;
        for (auto at = after.find(what); at != std::string::npos; at = after.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    const std::size_t crlf = count("\r\n"), cr = count("\r"), lf = count("\n");
    if (crlf ? cr != crlf || lf != crlf : cr != 0) {
        std::abort();
    }
    if (WithValues(after, "DTF", entries, "\n") != after) {
        std::abort();
    }
    return 0;
}
