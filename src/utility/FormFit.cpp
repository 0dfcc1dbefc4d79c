#include "utility/FormFit.h"

#include <algorithm>
#include <numeric>

namespace zlv {

namespace {

// Room a label sized to its text leaves before its neighbour, so that they never touch.
constexpr int kTextGapTwips = 30;

} // namespace

int FormFit::add(int left, int top, int width, int height, int needWidth, int needHeight,
                 int parent)
{
    int dx = 0;
    int dy = 0;
    if (parent >= 0 && parent < static_cast<int>(m_items.size())) {
        dx = m_items[static_cast<std::size_t>(parent)].left;
        dy = m_items[static_cast<std::size_t>(parent)].top;
    } else {
        parent = -1;
    }
    m_items.push_back({dx + left, dy + top, dx + left + width, dy + top + height, needWidth,
                       needHeight, false, parent});
    return static_cast<int>(m_items.size()) - 1;
}

int FormFit::SizedToTextWidth(int left, int roomRight)
{
    return roomRight - kTextGapTwips - left;
}

int FormFit::addSizedToText(int left, int top, int roomRight, int height, int needWidth,
                            int needHeight, int parent)
{
    const int control =
        add(left, top, SizedToTextWidth(left, roomRight), height, needWidth, needHeight, parent);
    m_items.back().sizedToText = true;
    return control;
}

int FormFit::Shifted(const std::map<int, int>& inserted, int at)
{
    int extra = 0;
    for (auto it = inserted.begin(); it != inserted.end() && it->first <= at; ++it) {
        extra += it->second;
    }
    return extra;
}

int FormFit::x(int twips) const
{
    return m_scale.X(twips) + Shifted(m_wider, twips);
}

int FormFit::y(int twips) const
{
    return m_scale.Y(twips) + Shifted(m_longer, twips);
}

void FormFit::solve()
{
    // Nearest far edge first: room added at an edge moves every edge beyond it.
    std::vector<std::size_t> order(m_items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return m_items[a].right < m_items[b].right; });
    for (std::size_t i : order) {
        const Item& item = m_items[i];
        if (const int lacking = item.needWidth - (x(item.right) - x(item.left)); lacking > 0) {
            m_wider[item.right] += lacking;
        }
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return m_items[a].bottom < m_items[b].bottom; });
    for (std::size_t i : order) {
        const Item& item = m_items[i];
        if (const int lacking = item.needHeight - (y(item.bottom) - y(item.top)); lacking > 0) {
            m_longer[item.bottom] += lacking;
        }
    }
}

FormFit::Rect FormFit::rect(int control) const
{
    if (control < 0 || control >= static_cast<int>(m_items.size())) {
        return {};
    }
    const Item& item = m_items[static_cast<std::size_t>(control)];
    Rect at{x(item.left), y(item.top), x(item.right) - x(item.left), y(item.bottom) - y(item.top)};
    if (item.sizedToText) {
        at.width = item.needWidth;
    }
    if (item.parent >= 0) {
        const Item& parent = m_items[static_cast<std::size_t>(item.parent)];
        at.x -= x(parent.left);
        at.y -= y(parent.top);
    }
    return at;
}

} // namespace zlv
