// Every sixth row green: while a list follows today's file the colour belongs to the row
// position; once the user re-sorts, it is frozen onto the records, so each keeps its colour.
#include "logstore/LogList.h"

namespace zlv {

namespace {

constexpr std::uint8_t kGreenFlag = 1;

} // namespace

bool LogList::green(int row, const LogRowStore::Row& r) const
{
    switch (m_highlight) {
    case Highlight::Following:
        return row % 6 == 0;
    case Highlight::Frozen:
        return (r.flags & kGreenFlag) != 0;
    case Highlight::None:
        break;
    }
    return false;
}

bool LogList::isHighlighted(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    return green(row, m_store.row(idAtRow(row)));
}

void LogList::freezeHighlight()
{
    if (m_highlight != Highlight::Following) {
        return;
    }
    for (int row = 0; row < rowCount(); ++row) {
        LogRowStore::Row& r = m_store.row(idAtRow(row));
        r.flags = static_cast<std::uint8_t>((r.flags & ~kGreenFlag) | (row % 6 == 0 ? 1 : 0));
    }
    m_highlight = Highlight::Frozen;
}

void LogList::highlight()
{
    if (m_highlight == Highlight::Following) {
        return;
    }
    if (m_highlight == Highlight::None) {
        m_highlight = Highlight::Following;
    } else {
        for (int row = 0; row < rowCount(); row += 6) {
            m_store.row(idAtRow(row)).flags |= kGreenFlag;
        }
    }
    notifyColours();
}

void LogList::notifyColours()
{
    if (m_observer && rowCount() > 0) {
        m_observer->coloursChanged(0, rowCount() - 1);
    }
}

} // namespace zlv
