#include "utility/FormLayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zlv {

namespace {

// What Tahoma 8.25 pt measures at 96 dots per inch: the advance of "A" to "Z" and "a" to
// "z", and the line height, in pixels.
constexpr double kDesignAlphabetAdvance = 312.984375;
constexpr double kDesignLineHeight = 11.0;

// Room a label sized to its text leaves before its neighbour, so that they never touch.
constexpr int kTextGapTwips = 30;

// A line edit keeps this much beside and above its text (QLineEdit's own margins).
constexpr int kLineEditMarginX = 2;
constexpr int kLineEditMarginY = 1;

QString Alphabet()
{
    QString letters;
    for (char c = 'A'; c <= 'Z'; ++c) {
        letters += QLatin1Char(c);
        letters += QLatin1Char(static_cast<char>(c - 'A' + 'a'));
    }
    return letters;
}

// Ratios within half a percent of a step count as that step, so that a font of the
// design's metrics gives the design exactly, whatever the rounding of its advances.
double Nearest(double ratio)
{
    return std::round(ratio * 100.0) / 100.0;
}

QSize LineEditNeed(const QFontMetrics& metrics, int textWidth, QSize chrome)
{
    return {textWidth + 2 * kLineEditMarginX + chrome.width(),
            metrics.height() + 2 * kLineEditMarginY + chrome.height()};
}

QSize DateEditNeed(const QDateTimeEdit& edit)
{
    // The widest date of the year 2000 has the widest day, month and weekday names.
    const QFontMetrics metrics(edit.font());
    int widest = 0;
    for (QDate d(2000, 1, 1); d.year() == 2000; d = d.addDays(1)) {
        const QString text = edit.locale().toString(d, edit.displayFormat());
        widest = std::max(widest, metrics.size(Qt::TextSingleLine, text).width());
    }
    QRect field;
    if (edit.calendarPopup()) {
        QStyleOptionComboBox option;
        option.initFrom(&edit);
        option.editable = true;
        option.subControls = QStyle::SC_ComboBoxEditField;
        field = edit.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                             QStyle::SC_ComboBoxEditField, &edit);
    } else {
        QStyleOptionSpinBox option;
        option.initFrom(&edit);
        option.frame = edit.hasFrame();
        option.buttonSymbols = edit.buttonSymbols();
        field = edit.style()->subControlRect(QStyle::CC_SpinBox, &option,
                                             QStyle::SC_SpinBoxEditField, &edit);
    }
    return LineEditNeed(metrics, widest, edit.size() - field.size());
}

} // namespace

TwipScale FontScale(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return {Nearest(metrics.horizontalAdvance(Alphabet()) / kDesignAlphabetAdvance),
            Nearest(metrics.height() / kDesignLineHeight)};
}

QSize TextNeed(const QWidget& control)
{
    const QFontMetrics metrics(control.font());
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        return label->text().isEmpty() ? QSize() : label->sizeHint();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->autoDefault()) {
            option.features |= QStyleOptionButton::AutoDefaultButton;
        }
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        // The text keeps the width of a thin character from the bevel on either side.
        const QSize text = metrics.size(Qt::TextShowMnemonic, button->text()) +
                           QSize(2 * metrics.horizontalAdvance(QLatin1Char('i')), 0);
        return text + button->size() - contents.size();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        return button->sizeHint(); // radio buttons and check boxes: indicator and text
    }
    if (const auto* list = qobject_cast<const QComboBox*>(&control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        option.frame = list->hasFrame();
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        int widest = 0;
        for (int i = 0; i < list->count(); ++i) {
            widest = std::max(widest, metrics.size(Qt::TextSingleLine, list->itemText(i)).width());
        }
        // The style draws the entry one pixel in from the field on either side.
        return QSize(widest + 2, metrics.height()) + list->size() - field.size();
    }
    if (const auto* edit = qobject_cast<const QDateTimeEdit*>(&control)) {
        return DateEditNeed(*edit);
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) {
        // A field shows whatever a record holds; only its height can be designed for.
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth =
            edit->hasFrame()
                ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                : 0;
        const QRect contents =
            edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        const QMargins margins = edit->textMargins();
        const QSize need = LineEditNeed(metrics, 0, edit->size() - contents.size());
        return {0, need.height() + margins.top() + margins.bottom()};
    }
    return {};
}

FormLayout::FormLayout(const QFont& font) : m_scale(FontScale(font)) {}

const FormLayout::Item* FormLayout::find(const QWidget* control) const
{
    for (const Item& item : m_items) {
        if (item.control == control) {
            return &item;
        }
    }
    return nullptr;
}

void FormLayout::place(QWidget* control, int left, int top, int width, int height)
{
    const Item* parent = find(control->parentWidget());
    const int dx = parent ? parent->left : 0;
    const int dy = parent ? parent->top : 0;
    m_items.push_back({control, dx + left, dy + top, dx + left + width, dy + top + height, false});
}

void FormLayout::placeSizedToText(QWidget* control, int left, int top, int roomRight, int height)
{
    place(control, left, top, roomRight - kTextGapTwips - left, height);
    m_items.back().sizedToText = true;
}

int FormLayout::Shifted(const std::map<int, int>& inserted, int at)
{
    int extra = 0;
    for (auto it = inserted.begin(); it != inserted.end() && it->first <= at; ++it) {
        extra += it->second;
    }
    return extra;
}

int FormLayout::x(int twips) const
{
    return m_scale.X(twips) + Shifted(m_wider, twips);
}

int FormLayout::y(int twips) const
{
    return m_scale.Y(twips) + Shifted(m_longer, twips);
}

void FormLayout::apply()
{
    // Sizes at the font's scale first: what a style draws around a text can depend on
    // the control's size.
    std::vector<QSize> needs;
    for (const Item& item : m_items) {
        item.control->resize(m_scale.X(item.right - item.left), m_scale.Y(item.bottom - item.top));
        needs.push_back(TextNeed(*item.control));
    }
    // Nearest far edge first: room added at an edge moves every edge beyond it.
    std::vector<std::size_t> order(m_items.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return m_items[a].right < m_items[b].right; });
    for (std::size_t i : order) {
        const Item& item = m_items[i];
        if (const int lacking = needs[i].width() - (x(item.right) - x(item.left)); lacking > 0) {
            m_wider[item.right] += lacking;
        }
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return m_items[a].bottom < m_items[b].bottom; });
    for (std::size_t i : order) {
        const Item& item = m_items[i];
        if (const int lacking = needs[i].height() - (y(item.bottom) - y(item.top)); lacking > 0) {
            m_longer[item.bottom] += lacking;
        }
    }

    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        const Item* parent = find(item.control->parentWidget());
        const QPoint origin = parent ? QPoint(x(parent->left), y(parent->top)) : QPoint();
        QRect at(QPoint(x(item.left), y(item.top)), QPoint(x(item.right) - 1, y(item.bottom) - 1));
        if (item.sizedToText) {
            at.setWidth(needs[i].width());
        }
        item.control->setGeometry(at.translated(-origin));
    }
    if (!m_items.empty()) {
        m_items.front().control->window()->setProperty("formScale", QSizeF(m_scale.x, m_scale.y));
    }
}

} // namespace zlv
