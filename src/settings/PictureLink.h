#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace zlv {

// A picture that works as a link: pressed with the mouse, or with Space or Enter once it
// has the focus, and known to screen readers as a button by its name.
class PictureLink final : public QAbstractButton
{
    Q_OBJECT
public:
    explicit PictureLink(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    QPixmap pixmap() const { return m_pixmap; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap m_pixmap;
};

} // namespace zlv
