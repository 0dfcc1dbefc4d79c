// The display-format renderer: six hand-edited fields and a stored stamp, one a line.
#include "settings/DisplayFormat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    zlv::DisplayFormatFields fields;
    for (std::string& field : fields) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        field = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    const std::string pattern = zlv::GetDisplayPattern(fields);
    const auto shown = zlv::FormatTimestamp(rest, pattern);
    const zlv::LocalDateTime at{{2024, 2, 29}, 23, 59, 59};
    std::string out;
    zlv::CompiledPattern(pattern).renderTo(at, out, 256);
    if (out.size() > 256 || (shown && shown->empty() != pattern.empty())) {
        std::abort();
    }
    return 0;
}
