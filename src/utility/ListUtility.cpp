#include "utility/ListUtility.h"

#include <algorithm>

namespace zlv {

bool ListUtility::IsInList(std::string_view value, std::initializer_list<std::string_view> values)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace zlv
