#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zlv::test {

// Runs `open`, which brings up a modal window, and hands that window to `inside` from within
// its modal loop; the window is closed afterwards whatever `inside` did, so that no failure
// leaves the test waiting on it. Whether a modal window came up.
inline bool WithModal(const std::function<void()>& open,
                      const std::function<void(QWidget&)>& inside = {})
{
    bool seen = false;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || seen) {
            return;
        }
        seen = true;
        probe.stop();
        if (inside) {
            inside(*modal);
        }
        if (modal && modal->isVisible()) {
            modal->close();
        }
    });
    probe.start();
    open();
    return seen;
}

} // namespace zlv::test
