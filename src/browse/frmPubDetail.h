#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;
class QTreeView;

namespace zlv {

// A record's fields, one per box, with buttons to step through the list. It keeps no row of
// its own: stepping moves the list's selection, so closing the dialog leaves the user where
// they stopped reading.
class frmPubDetail final : public QDialog
{
    Q_OBJECT

public:
    // Asked again at every press: records keep arriving and the user may switch views while
    // the dialog is open, so a list pointer taken at the start would go stale.
    using VisibleList = std::function<QTreeView*()>;

    enum Field
    {
        kDateAndTime = 0,
        kObject,
        kAction,
        kPath,
        kOriginalName,
        kNewName,
        kFieldCount
    };
    enum Button
    {
        kFirst = 0,
        kPrevious,
        kNext,
        kLast,
        kCopy,
        kClose,
        kButtonCount
    };

    frmPubDetail(QWidget* mainWindow, VisibleList visibleList);

    // Runs the dialog modally. An empty list gets a message instead, and a list with no
    // selection starts at its top row rather than showing empty fields.
    static void Open(QWidget* mainWindow, VisibleList visibleList);
    // The dialog that Open is running, if any; for tests of the modal run.
    static frmPubDetail* openInstance();

    QLineEdit* field(int index) const;
    QPushButton* button(int index) const;
    // The field that most recently received the focus: the one Copy copies.
    int currentField() const { return m_current; }

    void first() { step(kFirst); }
    void previous() { step(kPrevious); }
    void next() { step(kNext); }
    void last() { step(kLast); }
    void copy();
    // Shows the folder of the record on show in the file manager (Ctrl+O).
    void openContainingFolder();
    // Fills the fields from the visible list's selected row.
    void showSelectedRow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void step(Button which);
    void fill(const QTreeView& list, int row);

    VisibleList m_visibleList;
    QPointer<QWidget> m_mainWindow;
    std::array<QLineEdit*, kFieldCount> m_fields{};
    std::array<QPushButton*, kButtonCount> m_buttons{};
    int m_current = kDateAndTime;
    bool m_placed = false;
};

} // namespace zlv
