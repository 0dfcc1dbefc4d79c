#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;
class QTreeView;

namespace zlv {

// Shows the selected row of the main window's visible list field by field and steps
// through the list. The row shown is always the list's selected row: stepping moves the
// selection in the main window, where it stays after the dialog has closed.
class frmPubDetail final : public QDialog
{
    Q_OBJECT

public:
    // Called at every step, so that each press works on the list visible at that moment
    // and on the rows it holds then, including rows recorded while the dialog is open.
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

    // Shows "No available data for display." when the visible list is empty; otherwise
    // shows its selected row (the top row when none is selected) and runs the dialog
    // modally until it is closed.
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
