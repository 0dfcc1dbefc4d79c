#include "utility/NetworkDriveDialogs.h"

#include "utility/FormLayout.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zlv {

namespace {

QObject* Keeper(QWidget* owner)
{
    // The mount outlives the dialog that asked for it, so it hangs on the main window (or
    // the application) instead.
    return owner ? static_cast<QObject*>(owner) : QCoreApplication::instance();
}

} // namespace

frmPubMapDrive::frmPubMapDrive(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmPubMapDrive"));
    setWindowTitle(QStringLiteral("Map Network Drive"));
    setWindowFlags(kFixedDialogFlags);

    auto* label = new QLabel(QStringLiteral("&Address:"), this);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("txtAddress"));
    m_address->setPlaceholderText(QStringLiteral("smb://server/share"));
    m_address->setMinimumWidth(320);
    label->setBuddy(m_address);
    auto* hint = new QLabel(
        QStringLiteral("For example smb://server/share, sftp://user@server/ or ftp://server/"),
        this);

    m_connect = new QPushButton(QStringLiteral("C&onnect"), this);
    m_connect->setObjectName(QStringLiteral("cmbConnect"));
    m_connect->setDefault(true);
    m_connect->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmbCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_connect);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_address);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_address, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_connect->setEnabled(IsNetworkAddress(text)); });
    connect(m_connect, &QPushButton::clicked, this, &frmPubMapDrive::connectAddress);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPubMapDrive::connectAddress()
{
    const QString address = m_address->text().trimmed();
    if (!IsNetworkAddress(address)) {
        return;
    }
    GioCommand* command =
        GioCommand::start({QStringLiteral("mount"), address}, Keeper(parentWidget()));
    connect(command, &GioCommand::finished, command, [command, address](bool ok) {
        ReportGioFailure(*command, ok, QStringLiteral("connect to"), address);
    });
    m_lastCommand = command;
    accept();
}

frmPubDisconnectDrive::frmPubDisconnectDrive(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmPubDisconnectDrive"));
    setWindowTitle(QStringLiteral("Disconnect Network Drive"));
    setWindowFlags(kFixedDialogFlags);

    auto* label = new QLabel(QStringLiteral("&Network locations:"), this);
    m_mounts = new QListWidget(this);
    m_mounts->setObjectName(QStringLiteral("lstMounts"));
    m_mounts->setSelectionMode(QAbstractItemView::SingleSelection);
    m_mounts->setMinimumSize(360, 160);
    label->setBuddy(m_mounts);

    m_disconnect = new QPushButton(QStringLiteral("&Disconnect"), this);
    m_disconnect->setObjectName(QStringLiteral("cmbDisconnect"));
    m_disconnect->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("cmbClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_disconnect);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_mounts);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_mounts, &QListWidget::itemSelectionChanged, this,
            [this] { m_disconnect->setEnabled(!m_mounts->selectedItems().isEmpty()); });
    connect(m_mounts, &QListWidget::itemDoubleClicked, this,
            &frmPubDisconnectDrive::disconnectChosen);
    connect(m_disconnect, &QPushButton::clicked, this, &frmPubDisconnectDrive::disconnectChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    list();
}

void frmPubDisconnectDrive::list()
{
    // The listing belongs to this dialog: closing it early stops the tool.
    m_lastCommand = GioCommand::start({QStringLiteral("mount"), QStringLiteral("-l")}, this);
    connect(m_lastCommand, &GioCommand::finished, this, [this](bool ok, const QString& output) {
        m_mounts->clear();
        if (ok) {
            m_mounts->addItems(ParseNetworkMounts(output));
        } else {
            ReportGioFailure(*m_lastCommand, ok, QStringLiteral("list"),
                             QStringLiteral("the network drives"));
        }
        if (m_mounts->count() > 0) {
            m_mounts->setCurrentRow(0);
        }
        Q_EMIT listed();
    });
}

void frmPubDisconnectDrive::disconnectChosen()
{
    const QList<QListWidgetItem*> chosen = m_mounts->selectedItems();
    if (chosen.isEmpty()) {
        return;
    }
    const QString address = chosen.front()->text();
    GioCommand* command = GioCommand::start(
        {QStringLiteral("mount"), QStringLiteral("-u"), address}, Keeper(parentWidget()));
    connect(command, &GioCommand::finished, command, [command, address](bool ok) {
        ReportGioFailure(*command, ok, QStringLiteral("disconnect"), address);
    });
    m_lastCommand = command;
    accept();
}

} // namespace zlv
