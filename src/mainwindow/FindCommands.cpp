#include "mainwindow/FindCommands.h"

#include "browse/ContainingFolder.h"
#include "browse/ExportRows.h"
#include "logstore/LogListView.h"
#include "mainwindow/Commands.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/frmPubMain.h"

#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSizePolicy>
#include <QToolBar>
#include <QToolButton>

namespace zlv {

namespace {

// Each list keeps its own search; the field shows the one of the visible list.
class FindField final : public QLineEdit
{
public:
    explicit FindField(frmPubMain& window) : m_window(window)
    {
        setObjectName(QStringLiteral("txtFind"));
        setPlaceholderText(QStringLiteral("Find"));
        // The placeholder goes as soon as something is typed; a screen reader needs a name
        // that stays.
        setAccessibleName(QStringLiteral("Find"));
        setToolTip(QStringLiteral("Shows only the rows that contain this text <Ctrl+F>."));
        setClearButtonEnabled(true);
        for (QToolButton* clear : findChildren<QToolButton*>()) {
            clear->setAccessibleName(QStringLiteral("Clear"));
        }
        setMaximumWidth(220);
        connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { apply(text); });
        // The clear button changes the text without an edit.
        connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (text.isEmpty()) {
                apply(text);
            }
        });
        for (LogListView* list : {window.lsvToday(), window.lsvHistory()}) {
            list->installEventFilter(this);
        }
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            clear();
            m_window.visibleList()->setFocus();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
            event->key() == Qt::Key_Down) {
            m_window.visibleList()->setFocus();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A view switch: the field follows the list now shown.
        if (event->type() == QEvent::Show) {
            const QString shown = static_cast<LogListView*>(watched)->logModel()->filter();
            if (shown != text()) {
                const QSignalBlocker quiet(this);
                setText(shown);
            }
        }
        return QLineEdit::eventFilter(watched, event);
    }

private:
    void apply(const QString& text)
    {
        LogListView* list = m_window.visibleList();
        LogListModel* model = list->logModel();
        if (model->filter() == text) {
            return;
        }
        // The selected record stays selected when it still shows; otherwise the top row.
        const QModelIndexList selected = list->selectionModel()->selectedRows();
        const bool had = !selected.isEmpty();
        const LogListModel::RecordId record = had ? model->recordAt(selected.first().row()) : 0;
        list->setFilter(text);
        const int row = had ? model->rowOfRecord(record) : -1;
        if (model->rowCount() > 0) {
            const QModelIndex at = model->index(std::max(row, 0), 0);
            list->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
            list->scrollTo(at);
        }
    }

    frmPubMain& m_window;
};

} // namespace

void OpenSelectedRecordFolder(frmPubMain& w)
{
    LogListView* list = w.visibleList();
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    OpenContainingFolder(TargetOfRow(*list->model(), selected.first().row()));
}

void AddFindCommands(frmPubMain& w, QMenu* logs, QToolBar* toolbar)
{
    // A stretch first, so that the field sits at the right end and the buttons stay put.
    auto* stretch = new QWidget(toolbar);
    stretch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(stretch);
    auto* field = new FindField(w);
    toolbar->addWidget(field);

    logs->addSeparator()->setObjectName(QStringLiteral("menlse"));
    QObject::connect(AddMenuItem(logs, "menlf", "&Find...", QKeySequence(Qt::CTRL | Qt::Key_F)),
                     &QAction::triggered, &w, [field] {
                         field->setFocus(Qt::ShortcutFocusReason);
                         field->selectAll();
                     });
    QObject::connect(AddMenuItem(logs, "menlo", "Open &Containing Folder"), &QAction::triggered, &w,
                     [&w] { OpenSelectedRecordFolder(w); });
    QObject::connect(AddMenuItem(logs, "menle", "&Export..."), &QAction::triggered, &w, [&w] {
        ExportList(&w, w.visibleList()->logModel()->list(),
                   [&w](const QString& done) { w.statusBarPanels()->showMessage(done, 15000); });
    });
}

} // namespace zlv
