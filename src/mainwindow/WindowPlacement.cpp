#include "mainwindow/WindowPlacement.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace zlv {

namespace {

class FrameWatch final : public QObject
{
public:
    FrameWatch(QWidget* window, std::function<void()> place)
        : QObject(window), m_window(window), m_place(std::move(place))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The native window exists from the first Show on; its exposure follows the
        // window manager's framing.
        if (watched == m_window && event->type() == QEvent::Show && m_window->windowHandle()) {
            m_window->removeEventFilter(this);
            m_window->windowHandle()->installEventFilter(this);
        } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose &&
                   m_window->windowHandle()->isExposed()) {
            m_window->windowHandle()->removeEventFilter(this);
            m_place();
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
    std::function<void()> m_place;
};

} // namespace

void WhenFramed(QWidget* window, std::function<void()> place)
{
    new FrameWatch(window, std::move(place));
}

} // namespace zlv
