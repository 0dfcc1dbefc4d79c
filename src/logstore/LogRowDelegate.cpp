#include "logstore/LogRowDelegate.h"

#include "logstore/LogListModel.h"
#include "utility/Contrast.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <cmath>

namespace zlv {

namespace {

// About three screens of cells: enough that every text on screen stays shaped.
constexpr qsizetype kRecentTexts = 1024;
// A tooltip wider than a few screens would show no more than one.
constexpr qsizetype kLongestTip = 2000;

QStaticText Shape(const QString& text, const QFont& font)
{
    QStaticText shaped(text);
    shaped.setTextFormat(Qt::PlainText);
    shaped.prepare(QTransform(), font);
    return shaped;
}

QStyle* StyleOf(const QStyleOptionViewItem& option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

int TextMargin(const QStyleOptionViewItem& option)
{
    return StyleOf(option)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
}

} // namespace

LogRowDelegate::LogRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

LogRowDelegate::Shaped& LogRowDelegate::shaped(const QString& text, const QFont& font) const
{
    if (font != m_font) {
        m_recent.clear();
        m_older.clear();
        m_font = font;
        m_rowHeight = -1;
    }
    const auto recent = m_recent.find(text);
    if (recent != m_recent.end()) {
        return *recent;
    }
    Shaped entry;
    const auto older = m_older.find(text);
    if (older != m_older.end()) {
        entry = std::move(*older);
        m_older.erase(older);
    } else {
        entry.whole = Shape(text, font);
    }
    if (m_recent.size() >= kRecentTexts) {
        m_older = std::move(m_recent);
        m_recent.clear();
    }
    return *m_recent.insert(text, std::move(entry));
}

const QStaticText& LogRowDelegate::fitted(const QString& text, const QStyleOptionViewItem& option,
                                          int width, Qt::TextElideMode mode) const
{
    Shaped& entry = shaped(text, option.font);
    if (entry.whole.size().width() <= width) {
        return entry.whole;
    }
    if (entry.elidedWidth != width || entry.elidedMode != mode) {
        entry.elided = Shape(option.fontMetrics.elidedText(text, mode, width), option.font);
        entry.elidedWidth = width;
        entry.elidedMode = mode;
    }
    return entry.elided;
}

Qt::TextElideMode LogRowDelegate::elideMode(const QModelIndex& index) const
{
    return index.column() == m_middleElided ? Qt::ElideMiddle : Qt::ElideRight;
}

void LogRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = elideMode(index);
    // The styled delegate's own painting (a focused cell) takes the same readable colour.
    if (const QVariant brush = index.data(Qt::ForegroundRole); brush.isValid()) {
        option->palette.setColor(QPalette::Text,
                                 rowColour(qvariant_cast<QBrush>(brush).color(), option->palette));
    }
}

bool LogRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                               const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip && index.isValid()) {
        const QString shown = index.data(Qt::DisplayRole).toString();
        const int room = option.rect.width() - 2 * TextMargin(option);
        if (!shown.isEmpty() && textWidth(shown, option.font) > room) {
            // Escaped, so that a name holding markup is shown as the characters it is.
            const QString whole = index.data(LogListModel::FullTextRole).toString();
            QToolTip::showText(event->globalPos(),
                               QStringLiteral("<p style='white-space:pre'>%1</p>")
                                   .arg(whole.left(kLongestTip).toHtmlEscaped()),
                               view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void LogRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    // The list draws its focus frame across the whole row itself, so a cell asking for one,
    // an editor, or a right-to-left layout means a use this fast way was not made for.
    if ((option.state & (QStyle::State_HasFocus | QStyle::State_Editing)) ||
        option.direction != Qt::LeftToRight) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Only a selected or hovered cell has a panel: the list sets no background of its own.
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        StyleOf(option)->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter,
                                       option.widget);
    }

    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) {
        return;
    }
    QColor colour;
    if (option.state & QStyle::State_Selected) {
        QPalette::ColorGroup group = QPalette::Disabled;
        if (option.state & QStyle::State_Enabled) {
            group = (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
        }
        colour = option.palette.color(group, QPalette::HighlightedText);
    } else if (const QVariant brush = index.data(Qt::ForegroundRole); brush.isValid()) {
        colour = rowColour(qvariant_cast<QBrush>(brush).color(), option.palette);
    } else {
        const bool enabled = option.state & QStyle::State_Enabled;
        const bool active = option.state & QStyle::State_Active;
        colour = option.palette.color(enabled ? (active ? QPalette::Normal : QPalette::Inactive)
                                              : QPalette::Disabled,
                                      QPalette::Text);
    }

    const int margin = TextMargin(option);
    const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
    const QStaticText& shown = fitted(text, option, box.width(), elideMode(index));
    const int top = box.top() + (box.height() - option.fontMetrics.height()) / 2;

    const QPen pen = painter->pen();
    painter->setPen(colour);
    if (painter->font() != option.font) {
        painter->setFont(option.font);
    }
    painter->drawStaticText(QPointF(box.left(), top), shown);
    painter->setPen(pen);
}

QColor LogRowDelegate::rowColour(const QColor& colour, const QPalette& palette) const
{
    // The model names the colour a row has on white; on a dark theme the same hue must be
    // lighter to be read. Asked at every paint, so a palette change is followed at once.
    const QColor base = palette.color(QPalette::Base);
    if (!m_colourGiven.isValid() || m_colourAsked != colour.rgba() || m_colourBase != base.rgba()) {
        m_colourAsked = colour.rgba();
        m_colourBase = base.rgba();
        m_colourGiven = contrast::Readable(colour, base);
    }
    return m_colourGiven;
}

int LogRowDelegate::textWidth(const QString& text, const QFont& font) const
{
    return static_cast<int>(std::ceil(shaped(text, font).whole.size().width()));
}

QSize LogRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Every row of a log list is one line high, so the height is measured once per font and
    // style; the tree view asks for it on every layout.
    const QString text = index.data(Qt::DisplayRole).toString();
    const int width = textWidth(text, option.font);
    if (m_rowHeight < 0 || StyleOf(option) != m_heightStyle) {
        m_rowHeight = QStyledItemDelegate::sizeHint(option, index).height();
        m_heightStyle = StyleOf(option);
    }
    return {width + 2 * TextMargin(option), m_rowHeight};
}

} // namespace zlv
