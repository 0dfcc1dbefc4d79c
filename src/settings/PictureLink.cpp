#include "settings/PictureLink.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace zlv {

PictureLink::PictureLink(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void PictureLink::setPixmap(const QPixmap& pixmap)
{
    m_pixmap = pixmap;
    updateGeometry();
    update();
}

QSize PictureLink::sizeHint() const
{
    return m_pixmap.isNull() ? QSize() : m_pixmap.deviceIndependentSize().toSize();
}

void PictureLink::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_pixmap.isNull()) {
        painter.drawPixmap(rect(), m_pixmap);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void PictureLink::keyPressEvent(QKeyEvent* event)
{
    // Space is the button's own key; Enter opens a link too.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace zlv
