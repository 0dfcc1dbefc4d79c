#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

class QTreeView;

namespace zlv {

// List operations of the utility component.
class ListUtility final
{
public:
    // True when `value` equals one of `values` exactly (case counts).
    static bool IsInList(std::string_view value, std::initializer_list<std::string_view> values);

    // Fits the columns of a log list to what they show, within the list's width (see
    // ShareColumnWidths): a very long text shortens its own column, never pushes the others
    // out of sight. Widths the user chose by dragging are kept for the run. Never changes
    // rows or their order, and stays cheap however many rows the list holds. Lives in the
    // GUI library.
    static void AdjustListView(QTreeView& view);
    // The same for widths measured by the caller (`wanted[column]`, e.g. of new rows only).
    static void FitColumns(QTreeView& view, const std::vector<int>& wanted);
    // The widest text each column has been fitted for so far (0 before any).
    static std::vector<int> MeasuredWidths(QTreeView& view);
    // The column that gives way first when the columns do not fit (a list's path); the
    // widths the columns have now are what they ask for until their texts ask for more.
    static void SetYieldingColumn(QTreeView& view, int column);
};

} // namespace zlv
