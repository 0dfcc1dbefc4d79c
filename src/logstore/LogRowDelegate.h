#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace zlv {

// Paints the cells of a log list as the styled delegate does, but shapes each text once.
//
// After every record the rows whose colour moved are painted again, and a layout asks for
// the row height: each of those shaped every text anew, which was most of what a record
// cost. Shaped texts are kept, keyed by their text, for as long as they are likely to be
// painted again; a cell that needs anything beyond a plain line of text is left to the
// styled delegate.
class LogRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit LogRowDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // A cell too narrow for its text shows the whole text as its tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The width `text` takes in `font`, from the same shaping the painting uses.
    int textWidth(const QString& text, const QFont& font) const;

    // The column whose texts lose their middle rather than their end when cut: a path's
    // beginning and its last folders tell where it is.
    void setMiddleElidedColumn(int column) { m_middleElided = column; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    struct Shaped
    {
        QStaticText whole;
        QStaticText elided; // cut to elidedWidth, once a column was too narrow for it
        int elidedWidth = -1;
        Qt::TextElideMode elidedMode = Qt::ElideRight;
    };
    Shaped& shaped(const QString& text, const QFont& font) const;
    const QStaticText& fitted(const QString& text, const QStyleOptionViewItem& option, int width,
                              Qt::TextElideMode mode) const;
    Qt::TextElideMode elideMode(const QModelIndex& index) const;
    // A row's own colour (the highlight), made readable on the list's base colour.
    QColor rowColour(const QColor& colour, const QPalette& palette) const;

    // Two generations: a text painted again moves to the recent one, and when that is full
    // the older one is dropped. Rows that left the screen long ago go; those on it stay.
    mutable QHash<QString, Shaped> m_recent;
    mutable QHash<QString, Shaped> m_older;
    mutable QFont m_font;
    mutable int m_rowHeight = -1;
    mutable const QStyle* m_heightStyle = nullptr; // the style m_rowHeight was measured in
    int m_middleElided = -1;
    // The last colour made readable: every highlighted cell asks for the same one.
    mutable QRgb m_colourAsked = 0;
    mutable QRgb m_colourBase = 0;
    mutable QColor m_colourGiven;
};

} // namespace zlv
