#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace zlv {

// The main window's four panels: row count, today's date, the time of day and the version.
class StatusBar final : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void setRowCountText(const QString& text);
    void setVersionText(const QString& text);
    QLabel* panel(int index) const { return m_panels[index]; }
    // Puts `warning` first among the panels that keep their size: the date, time and version
    // panels stay where they are, only the row count gives up some of its free width.
    void addWarning(QWidget* warning) { insertPermanentWidget(1, warning); }

    // Renders the date and time panels from the program's clock now.
    void refreshClock();

Q_SIGNALS:
    void versionPanelClicked();
    void dateChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleNextMinute();

    QLabel* m_panels[4] = {};
    class CountHolder;
    CountHolder* m_count = nullptr; // holds m_panels[0]
    QTimer m_minute;
    QString m_lastDate;
};

} // namespace zlv
