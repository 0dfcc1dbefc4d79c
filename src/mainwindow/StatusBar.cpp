#include "mainwindow/StatusBar.h"

#include "utility/Clock.h"
#include "utility/FormFont.h"

#include <QDateTime>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>

namespace zlv {

namespace {

// The row count is painted again after every record. A label lays its text out the way a
// text document is laid out; one line of plain text needs only to be shaped and drawn, at
// the place the label would draw it.
class CountLabel final : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (isRightToLeft()) {
            QLabel::paintEvent(event); // the line goes to the other side
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        if (text().isEmpty()) {
            return;
        }
        const QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const QFontMetrics metrics = fontMetrics();
        int shift = indent();
        if (shift < 0) {
            shift = frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
        }
        // Centred as the label centres its line, from the font's unrounded metrics.
        const QFontMetricsF exact(font());
        const qreal baseline =
            box.top() + (box.height() - exact.ascent() - exact.descent()) / 2 + exact.ascent();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(QPointF(box.left() + shift, baseline), text());
    }
};

} // namespace

// Carries the row count label. The count changes with every record, and a label whose text
// changes has its parent's layout done again: in the status bar, that reaches the main
// window's layout, which moves every widget of the window. This holder has no layout, so
// the status bar hears of the label only when the label's size hint changed.
class StatusBar::CountHolder final : public QWidget
{
public:
    CountHolder(QLabel* label, QWidget* parent) : QWidget(parent), m_label(label)
    {
        label->setParent(this);
        m_hint = label->sizeHint();
    }
    QSize sizeHint() const override { return m_label->sizeHint(); }
    QSize minimumSizeHint() const override { return m_label->minimumSizeHint(); }
    void setText(const QString& text)
    {
        const QString before = m_label->text();
        if (text == before) {
            return;
        }
        m_label->setText(text);
        // Digits take one width in any font made for screens, so only a count that gained
        // or lost a digit can need another size; measuring it each time would cost as much
        // as painting it.
        if (text.size() == before.size()) {
            return;
        }
        const QSize hint = m_label->sizeHint();
        if (hint != m_hint) {
            m_hint = hint;
            updateGeometry();
        }
    }

protected:
    void resizeEvent(QResizeEvent*) override { m_label->setGeometry(rect()); }

private:
    QLabel* m_label;
    QSize m_hint;
};

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("stb"));
    setSizeGripEnabled(true);
    setFont(FormFont(8.25, true));

    const char* tips[4] = {"Rows total.", "Today.", "Now.", "Program version."};
    for (int i = 0; i < 4; ++i) {
        auto* label = i == 0 ? new CountLabel(this) : new QLabel(this);
        label->setObjectName(QStringLiteral("stbPanel%1").arg(i + 1));
        label->setToolTip(QString::fromLatin1(tips[i]));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        m_panels[i] = label;
        // The row count takes the free width; date, time and version keep their size.
        if (i == 0) {
            m_count = new CountHolder(label, this);
            addWidget(m_count, 1);
        } else {
            addPermanentWidget(label);
        }
    }
    m_panels[3]->setCursor(Qt::PointingHandCursor);
    m_panels[3]->installEventFilter(this);

    m_minute.setSingleShot(true);
    m_minute.setTimerType(Qt::CoarseTimer);
    connect(&m_minute, &QTimer::timeout, this, [this] {
        refreshClock();
        scheduleNextMinute();
    });
    refreshClock();
    scheduleNextMinute();
}

void StatusBar::setRowCountText(const QString& text)
{
    m_count->setText(text);
}

void StatusBar::setVersionText(const QString& text)
{
    m_panels[3]->setText(text);
}

void StatusBar::refreshClock()
{
    const LocalDateTime now = Clock::instance().now();
    const QDate date(now.date.year, now.date.month, now.date.day);
    const QLocale locale;
    const QString dateText = locale.toString(date, QLocale::ShortFormat);
    m_panels[1]->setText(QLatin1Char(' ') + dateText + QLatin1Char(' '));
    // The system's time form, but to the minute: the panel changes once a minute.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
    m_panels[2]->setText(QLatin1Char(' ') +
                         locale.toString(QTime(now.hour, now.minute), timeFormat) +
                         QLatin1Char(' '));
    if (!m_lastDate.isEmpty() && dateText != m_lastDate) {
        Q_EMIT dateChanged();
    }
    m_lastDate = dateText;
}

void StatusBar::scheduleNextMinute()
{
    // Wake once a minute, on the minute, rather than polling the clock.
    const QTime t = QTime::currentTime();
    const int msToNextMinute = (60 - t.second()) * 1000 - t.msec();
    m_minute.start(qMax(200, msToNextMinute + 50));
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panels[3] && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_panels[3]->rect().contains(mouse->pos())) {
            Q_EMIT versionPanelClicked();
            return true;
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

} // namespace zlv
