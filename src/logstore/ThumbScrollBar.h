#pragma once

#include <QCursor>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace zlv {

// A list that grows by a row moves its scroll bar's thumb by a pixel or none; the bar
// would repaint all of its length each time, in big fills that Qt spreads over its thread
// pool. Only the span the thumb covered and covers now is painted again; the groove is
// the same all along.
class ThumbScrollBar final : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    struct Look
    {
        QRect thumb;
        bool atMinimum = false;
        bool atMaximum = false;
        bool enabled = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum(), isEnabled() && maximum() > minimum()};
    }
    void sliderChange(SliderChange change) override
    {
        if (!m_painted) {
            QScrollBar::sliderChange(change);
            return;
        }
        const Look now = look();
        if (now == m_look) {
            return;
        }
        if (now.atMinimum != m_look.atMinimum || now.atMaximum != m_look.atMaximum ||
            now.enabled != m_look.enabled || !now.thumb.isValid() || !m_look.thumb.isValid()) {
            QScrollBar::sliderChange(change);
            return;
        }
        update(now.thumb.united(m_look.thumb).adjusted(-1, -1, 1, 1));
    }
    void paintEvent(QPaintEvent* event) override
    {
        m_look = look();
        m_painted = true;
        if (isSliderDown()) {
            QScrollBar::paintEvent(event); // it alone knows which part is pressed
            return;
        }
        // In bands: Qt hands a fill of more than about a hundred lines to its thread pool,
        // waking its threads for what one thread paints in microseconds.
        constexpr int kBand = 64;
        QPainter painter(this);
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.subControls = QStyle::SC_All;
        option.activeSubControls =
            underMouse() ? style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option,
                                                          mapFromGlobal(QCursor::pos()), this)
                         : QStyle::SC_None;
        const QRect area = event->rect();
        for (int top = area.top(); top <= area.bottom(); top += kBand) {
            painter.setClipRect(
                QRect(area.left(), top, area.width(), std::min(kBand, area.bottom() + 1 - top)));
            style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
        }
    }
    void resizeEvent(QResizeEvent* event) override
    {
        m_painted = false;
        QScrollBar::resizeEvent(event);
    }

private:
    Look m_look;
    bool m_painted = false;
};

} // namespace zlv
