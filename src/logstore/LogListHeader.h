#pragma once

#include <QEvent>
#include <QHeaderView>

namespace zlv {

// The tree view asks its header for a size hint on every layout, that is after every
// record, and the header shapes every caption again to answer. Captions, font, style and
// sort arrow seldom change, so the answer is kept until one of them does.
class LogListHeader final : public QHeaderView
{
public:
    explicit LogListHeader(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent)
    {
        connect(this, &QHeaderView::sortIndicatorChanged, this, &LogListHeader::forget);
        connect(this, &QHeaderView::sectionCountChanged, this, &LogListHeader::forget);
    }

    void setModel(QAbstractItemModel* model) override
    {
        QHeaderView::setModel(model);
        if (model) {
            connect(model, &QAbstractItemModel::headerDataChanged, this, &LogListHeader::forget);
        }
        forget();
    }

    QSize sizeHint() const override
    {
        if (!m_hint.isValid()) {
            m_hint = QHeaderView::sizeHint();
        }
        return m_hint;
    }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            forget();
        }
        QHeaderView::changeEvent(event);
    }

private:
    void forget() { m_hint = QSize(); }

    mutable QSize m_hint;
};

} // namespace zlv
