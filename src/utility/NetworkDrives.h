#pragma once

#include <QProcess>
#include <QStringList>
#include <QTimer>

namespace zlv {

// True for a network location GIO can mount: smb, sftp, ftp, ftps, dav, davs or nfs with a
// host, such as "smb://host/share" or "sftp://user@host/".
bool IsNetworkAddress(const QString& address);

// The network locations in the output of "gio mount -l", in the order listed, each once.
QStringList ParseNetworkMounts(const QString& gioMountListing);

// One run of the desktop's `gio` tool in the background. The tool is started directly,
// never through a shell, so an address is always one argument whatever it holds; its
// standard input is closed so that a password prompt fails instead of waiting forever.
// The object deletes itself once finished() has been emitted.
class GioCommand final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultTimeoutMs = 120000;

    // `parent` should outlive the dialog that asked for the command: deleting the parent
    // stops the tool.
    static GioCommand* start(const QStringList& arguments, QObject* parent,
                             int timeoutMs = kDefaultTimeoutMs);
    ~GioCommand() override;

    // Why it failed, for a sentence after "could not ...: "; valid once finished.
    QString problem() const;
    // The tool itself could not be started (not installed).
    bool toolMissing() const { return m_missing; }

Q_SIGNALS:
    // `ok` is true only when the tool ran and exited with status 0.
    void finished(bool ok, const QString& output);

private:
    GioCommand(QObject* parent, int timeoutMs);
    void finish(bool ok);

    QProcess m_process;
    QTimer m_deadline;
    QByteArray m_output;
    QByteArray m_error;
    bool m_done = false;
    bool m_missing = false;
    bool m_timedOut = false;
};

// Says in a message box that `command` failed to `action` (e.g. "connect to") `address`,
// and what the user can do; says nothing when it succeeded.
void ReportGioFailure(const GioCommand& command, bool ok, const QString& action,
                      const QString& address);

} // namespace zlv
