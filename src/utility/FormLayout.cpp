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

FormLayout::FormLayout(const QFont& font) : m_scale(FontScale(font)), m_fit(m_scale) {}

int FormLayout::find(const QWidget* control) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].control == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FormLayout::place(QWidget* control, int left, int top, int width, int height)
{
    m_items.push_back({control, left, top, width, height, -1, find(control->parentWidget())});
}

void FormLayout::placeSizedToText(QWidget* control, int left, int top, int roomRight, int height)
{
    m_items.push_back({control, left, top, 0, height, roomRight, find(control->parentWidget())});
}

int FormLayout::x(int twips) const
{
    return m_fit.x(twips);
}

int FormLayout::y(int twips) const
{
    return m_fit.y(twips);
}

void FormLayout::apply()
{
    // Sizes at the font's scale first: what a style draws around a text can depend on
    // the control's size.
    m_fit = FormFit(m_scale);
    for (const Item& item : m_items) {
        const int width =
            item.roomRight >= 0 ? FormFit::SizedToTextWidth(item.left, item.roomRight) : item.width;
        item.control->resize(m_scale.X(width), m_scale.Y(item.height));
        const QSize need = TextNeed(*item.control);
        if (item.roomRight >= 0) {
            m_fit.addSizedToText(item.left, item.top, item.roomRight, item.height, need.width(),
                                 need.height(), item.parent);
        } else {
            m_fit.add(item.left, item.top, item.width, item.height, need.width(), need.height(),
                      item.parent);
        }
    }
    m_fit.solve();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const FormFit::Rect r = m_fit.rect(static_cast<int>(i));
        m_items[i].control->setGeometry(r.x, r.y, r.width, r.height);
    }
    if (!m_items.empty()) {
        m_items.front().control->window()->setProperty("formScale", QSizeF(m_scale.x, m_scale.y));
    }
}

} // namespace zlv
