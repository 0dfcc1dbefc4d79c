#include "browse/frmPubDetail.h"

#include "browse/ContainingFolder.h"
#include "browse/DetailSteps.h"
#include "logstore/LogListModel.h"
#include "utility/FormFont.h"
#include "utility/FormLayout.h"
#include "utility/MessageBox.h"
#include "utility/Twips.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace zlv {

namespace {

QPointer<frmPubDetail> g_open;

struct FieldSpec
{
    const char* caption;
    int top;
};
constexpr FieldSpec kFields[] = {
    {"&Date And Time", 90}, {"&Object", 480},         {"&Action", 870},
    {"&Path", 1260},        {"O&riginal Name", 1650}, {"&New Name", 2040},
};

struct ButtonSpec
{
    const char* caption;
    const char* tip;
    int left;
    // What a screen reader says for a caption that is only arrows; none where the caption
    // reads well itself.
    const char* spoken = nullptr;
};
constexpr ButtonSpec kButtons[] = {
    {"|<<", "Display the first row.", 3000, "First Record"},
    {"<<", "Display the previous row.", 3675, "Previous Record"},
    {">>", "Display the next row.", 4350, "Next Record"},
    {">>|", "Display the last row.", 5025, "Last Record"},
    {"&Copy", "Copy current field.", 5700},
    {"C&lose", "Close this dialog box.", 6375},
};

int RowCount(const QTreeView& list)
{
    const QAbstractItemModel* model = list.model();
    return model ? model->rowCount(list.rootIndex()) : 0;
}

// The position of the selected row in the order the list shows, or -1.
int SelectedRow(const QTreeView& list)
{
    const QItemSelectionModel* selection = list.selectionModel();
    if (!selection) {
        return -1;
    }
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && current.parent() == list.rootIndex() &&
        selection->isRowSelected(current.row(), list.rootIndex())) {
        return current.row();
    }
    int row = -1;
    for (const QModelIndex& index : selection->selectedIndexes()) {
        if (index.parent() == list.rootIndex() && (row < 0 || index.row() < row)) {
            row = index.row();
        }
    }
    return row;
}

void SelectRow(QTreeView& list, int row)
{
    QItemSelectionModel* selection = list.selectionModel();
    const QModelIndex index = list.model()->index(row, 0, list.rootIndex());
    if (!selection || !index.isValid()) {
        return;
    }
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.scrollTo(index);
}

} // namespace

frmPubDetail::frmPubDetail(QWidget* mainWindow, VisibleList visibleList)
    : QDialog(mainWindow), m_visibleList(std::move(visibleList)), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmPubDetail"));
    setWindowTitle(QStringLiteral("Detail View"));
    setWindowFlags(kFixedDialogFlags);
    setFont(FormFont());
    FormLayout form;

    for (int i = 0; i < kFieldCount; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txt%1").arg(i));
        field->setReadOnly(true);
        // Read-only fields wear the button face, so they do not look editable.
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        field->setPalette(palette);
        form.place(field, 1230, kFields[i].top, 5730, 300);
        field->installEventFilter(this);

        auto* label = new QLabel(QString::fromUtf8(kFields[i].caption), this);
        label->setObjectName(QStringLiteral("lbl%1").arg(i));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form.place(label, kFormMarginTwips, kFields[i].top, 1140 - kFormMarginTwips, 300);
        label->setBuddy(field);
        m_fields[i] = field;
    }

    for (int i = 0; i < kButtonCount; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kButtons[i].caption), this);
        button->setObjectName(QStringLiteral("cmb%1").arg(i));
        button->setToolTip(QString::fromUtf8(kButtons[i].tip));
        if (kButtons[i].spoken) {
            button->setAccessibleName(QString::fromUtf8(kButtons[i].spoken));
        }
        button->setFont(FormFont(kDesignPoints, i <= kLast));
        form.place(button, kButtons[i].left, 2430, 585, 360);
        m_buttons[i] = button;
    }
    m_buttons[kCopy]->setDefault(true);
    connect(m_buttons[kFirst], &QPushButton::clicked, this, &frmPubDetail::first);
    connect(m_buttons[kPrevious], &QPushButton::clicked, this, &frmPubDetail::previous);
    connect(m_buttons[kNext], &QPushButton::clicked, this, &frmPubDetail::next);
    connect(m_buttons[kLast], &QPushButton::clicked, this, &frmPubDetail::last);
    connect(m_buttons[kCopy], &QPushButton::clicked, this, &frmPubDetail::copy);
    // Esc reaches reject() through QDialog as well, which makes Close the cancel button.
    connect(m_buttons[kClose], &QPushButton::clicked, this, &QDialog::reject);

    // Opening the shown record's folder is a key, so that the six buttons keep their places.
    auto* openFolder = new QAction(this);
    openFolder->setObjectName(QStringLiteral("actOpenFolder"));
    openFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(openFolder);
    m_fields[kPath]->setToolTip(QStringLiteral("Ctrl+O opens the containing folder."));
    connect(openFolder, &QAction::triggered, this, &frmPubDetail::openContainingFolder);

    QWidget* previous = nullptr;
    for (QWidget* w : m_fields) {
        if (previous) {
            setTabOrder(previous, w);
        }
        previous = w;
    }
    for (QWidget* w : m_buttons) {
        setTabOrder(previous, w);
        previous = w;
    }

    // The client area ends 90 twips right of and below the Close button.
    form.apply();
    setFixedSize(form.x(kButtons[kClose].left + 585 + kFormMarginTwips),
                 form.y(2430 + 360 + kFormMarginTwips));
}

frmPubDetail* frmPubDetail::openInstance()
{
    return g_open.data();
}

void frmPubDetail::Open(QWidget* mainWindow, VisibleList visibleList)
{
    QTreeView* list = visibleList ? visibleList() : nullptr;
    if (!list || RowCount(*list) == 0) {
        MessageBox::show("No available data for display.", MessageBox::Icon::Information);
        return;
    }
    // The dialog shows the selected row, so a list that selects none by itself gets its
    // top row selected.
    if (SelectedRow(*list) < 0) {
        SelectRow(*list, 0);
    }
    QPointer<frmPubDetail> dialog = new frmPubDetail(mainWindow, std::move(visibleList));
    dialog->showSelectedRow();
    g_open = dialog;
    dialog->exec();
    delete dialog.data();
}

QLineEdit* frmPubDetail::field(int index) const
{
    return index >= 0 && index < kFieldCount ? m_fields[index] : nullptr;
}

QPushButton* frmPubDetail::button(int index) const
{
    return index >= 0 && index < kButtonCount ? m_buttons[index] : nullptr;
}

void frmPubDetail::showSelectedRow()
{
    QTreeView* list = m_visibleList ? m_visibleList() : nullptr;
    if (!list) {
        return;
    }
    if (const int row = SelectedRow(*list); row >= 0) {
        fill(*list, row);
    }
}

void frmPubDetail::step(Button which)
{
    QTreeView* list = m_visibleList ? m_visibleList() : nullptr;
    if (!list) {
        return;
    }
    // The count and the selection of this moment: the list may have been reloaded with
    // more rows, re-sorted or emptied (a new day) since the last press.
    const int n = RowCount(*list);
    if (n == 0) {
        return;
    }
    static constexpr detail::Step kSteps[] = {detail::Step::First, detail::Step::Previous,
                                              detail::Step::Next, detail::Step::Last};
    if (which > kLast) {
        return;
    }
    const int p = SelectedRow(*list);
    const int target = detail::StepTarget(kSteps[which], p, n);
    if (target != p) {
        SelectRow(*list, target);
    }
    // Shown again even when nothing moved, so that the fields always show the selected
    // row, also after a reload under an open dialog.
    fill(*list, target);
}

void frmPubDetail::fill(const QTreeView& list, int row)
{
    const QAbstractItemModel* model = list.model();
    if (!model) {
        return;
    }
    for (int column = 0; column < kFieldCount; ++column) {
        const QModelIndex index = model->index(row, column, list.rootIndex());
        QVariant text = index.data(LogListModel::FullTextRole);
        if (!text.isValid()) {
            text = index.data(Qt::DisplayRole);
        }
        m_fields[column]->setText(text.toString());
        m_fields[column]->setCursorPosition(0);
    }
}

void frmPubDetail::openContainingFolder()
{
    QTreeView* list = m_visibleList ? m_visibleList() : nullptr;
    if (const int row = list && list->model() ? SelectedRow(*list) : -1; row >= 0) {
        OpenContainingFolder(TargetOfRow(*list->model(), row));
    }
}

void frmPubDetail::copy()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return;
    }
    // Cleared first, so that an empty field leaves an empty clipboard rather than the
    // previous content.
    clipboard->clear();
    clipboard->setText(m_fields[m_current]->text());
}

bool frmPubDetail::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < kFieldCount; ++i) {
            if (watched == m_fields[i]) {
                m_current = i;
                QLineEdit* field = m_fields[i];
                field->selectAll();
                // A mouse click places the cursor after the focus arrived; select again
                // once the click is through.
                QTimer::singleShot(0, field, [field] {
                    if (field->hasFocus()) {
                        field->selectAll();
                    }
                });
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmPubDetail::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed) {
        return;
    }
    m_placed = true;
    if (m_mainWindow) {
        const QRect owner = m_mainWindow->window()->frameGeometry();
        QRect mine = frameGeometry();
        mine.moveCenter(owner.center());
        move(mine.topLeft());
    }
    m_current = kDateAndTime;
    m_fields[kDateAndTime]->setFocus(Qt::OtherFocusReason);
    m_fields[kDateAndTime]->selectAll();
}

} // namespace zlv
