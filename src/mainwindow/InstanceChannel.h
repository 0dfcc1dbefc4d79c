#pragma once

#include "mainwindow/WindowActivation.h"

#include <QObject>
#include <optional>
#include <string>

class QLocalServer;

namespace zlv {

// A second launch does not start another Zelvory: it asks the running one to bring its
// window forward, passing on the token its launcher gave it, and ends.

// Where the running instance listens: a socket beside the instance lock, so in a folder
// only the user can enter. Empty when there is no lock.
std::string InstanceSocketPath(const std::string& lockPath);

// The second launch's side; never waits long. False when nobody listens there.
bool TellRunningInstance(const std::string& socketPath, const LaunchTokens& tokens);

// What goes over the socket, and back again; nothing when `message` is not such a request.
QByteArray ActivationMessage(const LaunchTokens& tokens);
std::optional<LaunchTokens> ParseActivationMessage(const QByteArray& message);

// The running instance's side.
class InstanceChannel final : public QObject
{
    Q_OBJECT
public:
    explicit InstanceChannel(const std::string& socketPath, QObject* parent = nullptr);
    bool listening() const;

Q_SIGNALS:
    void activationRequested(const zlv::LaunchTokens& tokens);

private:
    void accept();

    QLocalServer* m_server;
};

} // namespace zlv
