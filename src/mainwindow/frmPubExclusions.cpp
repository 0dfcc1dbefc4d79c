#include "mainwindow/frmPubExclusions.h"

#include "utility/FormFont.h"
#include "utility/FormLayout.h"
#include "utility/MessageBox.h"
#include "utility/Twips.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zlv {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* tip)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromUtf8(tip));
    button->setAccessibleName(QString::fromUtf8(caption).remove(QLatin1Char('&')));
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmPubExclusions::frmPubExclusions(std::string configFile, Apply apply, QWidget* parent)
    : QDialog(parent), m_configFile(std::move(configFile)), m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("frmPubExclusions"));
    setWindowTitle(QStringLiteral("Folders Not Recorded"));
    setWindowFlags(kFixedDialogFlags);
    setFont(FormFont());

    auto* caption = new QLabel(
        QStringLiteral("Zelvory records nothing in these &folders or in the folders inside them:"),
        this);
    caption->setObjectName(QStringLiteral("lbl0"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstFolders"));
    m_list->setAccessibleName(QStringLiteral("Folders not recorded"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    caption->setBuddy(m_list);

    m_add = Button(this, "cmbAdd", "&Add Folder...", "Choose a folder not to record.");
    m_remove = Button(this, "cmbRemove", "&Remove", "Record the selected folder again.");
    m_git = new QCheckBox(
        QStringLiteral("Do not record what &Git ignores in a project (build output, packages)"),
        this);
    m_git->setObjectName(QStringLiteral("chkGit"));
    m_git->setAccessibleName(QStringLiteral("Do not record what Git ignores"));
    m_save = Button(this, "cmbSave", "&Save", "Save the folders and record accordingly.");
    auto* close = Button(this, "cmbClose", "C&lose", "Close this dialog box.");

    const int margin = TwipScale{}.X(kFormMarginTwips);
    auto* side = new QVBoxLayout;
    side->addWidget(m_add);
    side->addWidget(m_remove);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_list, 1);
    middle->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_save);
    bottom->addWidget(close);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(margin, margin, margin, margin);
    all->addWidget(caption);
    all->addLayout(middle);
    all->addWidget(m_git);
    all->addLayout(bottom);
    all->setSizeConstraint(QLayout::SetFixedSize);
    m_list->setMinimumWidth(m_list->fontMetrics().averageCharWidth() * 60);

    const Exclusions stored = LoadExclusions(m_configFile);
    for (const std::string& folder : stored.folders) {
        m_list->addItem(QString::fromStdString(folder));
    }
    m_git->setChecked(stored.skipGitIgnored);
    m_remove->setEnabled(false);
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row >= 0); });
    connect(m_add, &QPushButton::clicked, this, &frmPubExclusions::addFolder);
    connect(m_remove, &QPushButton::clicked, this, &frmPubExclusions::removeFolder);
    connect(m_save, &QPushButton::clicked, this, &frmPubExclusions::save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString frmPubExclusions::ChooseWithSystemDialog(QWidget* parent)
{
    return QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Choose a Folder Not to Record"), QDir::homePath());
}

void frmPubExclusions::addFolder()
{
    const std::string folder = ExclusionPath(m_choose(this).toStdString());
    if (folder.empty()) {
        return;
    }
    const QString shown = QString::fromStdString(folder);
    if (const auto same = m_list->findItems(shown, Qt::MatchExactly); !same.isEmpty()) {
        m_list->setCurrentItem(same.front());
        return;
    }
    m_list->addItem(shown);
    m_list->setCurrentRow(m_list->count() - 1);
}

void frmPubExclusions::removeFolder()
{
    delete m_list->takeItem(m_list->currentRow());
}

Exclusions frmPubExclusions::shown() const
{
    Exclusions e;
    for (int i = 0; i < m_list->count(); ++i) {
        e.folders.push_back(m_list->item(i)->text().toStdString());
    }
    e.skipGitIgnored = m_git->isChecked();
    return e;
}

void frmPubExclusions::save()
{
    const Exclusions e = shown();
    if (!SaveExclusions(m_configFile, e)) {
        MessageBox::show("The folders not to record could not be saved in " + m_configFile + ".",
                         MessageBox::Icon::Exclamation);
        return;
    }
    if (m_apply) {
        m_apply(e);
    }
    accept();
}

} // namespace zlv
