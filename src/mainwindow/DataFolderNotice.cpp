#include "mainwindow/DataFolderNotice.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QVBoxLayout>
#include <cstdio>

namespace zlv {

void ShowDataFolderProblem(QAbstractScrollArea& list, const QString& why)
{
    const QString text = QStringLiteral("Nothing is being recorded. ") + why +
                         QStringLiteral(" Set HOME (or XDG_DATA_HOME) to a folder of your own "
                                        "and start Zelvory again.");
    std::fprintf(stderr, "zelvory: %s\n", text.toLocal8Bit().constData());
    // On the list's viewport, so that it follows every resize of the list by itself.
    auto* label = new QLabel(text, list.viewport());
    label->setObjectName(QStringLiteral("lblNoDataFolder"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(list.viewport());
    layout->addWidget(label);
    layout->addStretch();
}

} // namespace zlv
