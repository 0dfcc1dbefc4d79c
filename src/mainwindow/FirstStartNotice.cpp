#include "mainwindow/FirstStartNotice.h"

#include "logstore/LogListView.h"
#include "mainwindow/DesktopWords.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zlv {

void ShowFirstStartNotice(LogListView& today, const QString& journal,
                          std::function<void()> openJournal)
{
    auto* panel = new QWidget(today.viewport());
    panel->setObjectName(QStringLiteral("fraFirstStart"));
    auto* text = new QLabel(
        QString::fromStdString(words::FirstStartText(
            QDir::toNativeSeparators(QDir::homePath()).toStdString(), journal.toStdString())),
        panel);
    text->setObjectName(QStringLiteral("lblFirstStart"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    // The list under it answers a double-click or the right button as on any empty list.
    text->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* open = new QPushButton(QStringLiteral("&Open the Journal Folder"), panel);
    open->setObjectName(QStringLiteral("cmbOpenJournal"));
    open->setAccessibleName(QStringLiteral("Open the Journal Folder"));
    open->setToolTip(journal);
    QObject::connect(open, &QPushButton::clicked, panel, [openJournal] {
        if (openJournal) {
            openJournal();
        }
    });

    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(text);
    inner->addWidget(open, 0, Qt::AlignLeft);
    // On the list's viewport, so that it follows every resize of the list by itself.
    auto* outer = new QVBoxLayout(today.viewport());
    outer->addWidget(panel);
    outer->addStretch();

    LogListView* list = &today;
    const auto follow = [list, panel] {
        panel->setVisible(list->rowCount() == 0 && !list->logModel()->filtering());
    };
    QAbstractItemModel* model = today.model();
    QObject::connect(&today, &LogListView::rowCountChanged, panel, follow);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, panel, follow);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, panel, follow);
    QObject::connect(model, &QAbstractItemModel::modelReset, panel, follow);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, panel, follow);
    follow();
}

} // namespace zlv
