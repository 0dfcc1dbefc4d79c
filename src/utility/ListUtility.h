#pragma once

#include <initializer_list>
#include <string_view>

class QTreeView;

namespace zlv {

// List operations of the utility component.
class ListUtility final
{
public:
    // True when `value` equals one of `values` exactly (case counts).
    static bool IsInList(std::string_view value, std::initializer_list<std::string_view> values);

    // Fits the columns of a log list to what they show. Never changes rows or their order,
    // and stays cheap however many rows the list holds. Lives in the GUI library.
    static void AdjustListView(QTreeView& view);
};

} // namespace zlv
