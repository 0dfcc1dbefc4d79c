#pragma once

#include "utility/NetworkDrives.h"

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace zlv {

// Asks for a network address and mounts it through GIO.
class frmPubMapDrive final : public QDialog
{
    Q_OBJECT

public:
    explicit frmPubMapDrive(QWidget* owner);

    // The command of the last Connect, while it runs; for tests.
    GioCommand* lastCommand() const { return m_lastCommand; }

private:
    void connectAddress();

    QLineEdit* m_address = nullptr;
    QPushButton* m_connect = nullptr;
    QPointer<GioCommand> m_lastCommand;
};

// Lists the mounted network locations and unmounts the one chosen.
class frmPubDisconnectDrive final : public QDialog
{
    Q_OBJECT

public:
    explicit frmPubDisconnectDrive(QWidget* owner);

    GioCommand* lastCommand() const { return m_lastCommand; }

Q_SIGNALS:
    // The listing has arrived (empty when gio failed or found nothing).
    void listed();

private:
    void list();
    void disconnectChosen();

    QListWidget* m_mounts = nullptr;
    QPushButton* m_disconnect = nullptr;
    QPointer<GioCommand> m_lastCommand;
};

} // namespace zlv
