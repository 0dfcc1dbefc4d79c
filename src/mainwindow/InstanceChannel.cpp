#include "mainwindow/InstanceChannel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace zlv {

namespace {

constexpr const char* kSocketName = "zelvory.socket";
constexpr const char* kRequest = "zelvory activate";
constexpr const char* kWaylandKey = "XDG_ACTIVATION_TOKEN=";
constexpr const char* kX11Key = "DESKTOP_STARTUP_ID=";
// Far more than any token; a peer sending more is not a second launch.
constexpr qsizetype kMostBytes = 8192;
constexpr qsizetype kMostTokenBytes = 1024;
constexpr int kPeerTimeoutMs = 3000;

// A token is printable text: whatever else a launcher put there stays out of the protocol
// and out of the window system's requests.
QByteArray Clean(const QByteArray& token)
{
    QByteArray clean;
    for (const char c : token.left(kMostTokenBytes)) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
            clean += c;
        }
    }
    return clean;
}

bool SameUser(QLocalSocket* socket)
{
#ifdef SO_PEERCRED
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                        &peer, &size) == 0 &&
           peer.uid == ::geteuid();
#else
    (void)socket;
    return true;
#endif
}

} // namespace

std::string InstanceSocketPath(const std::string& lockPath)
{
    const std::size_t slash = lockPath.rfind('/');
    if (lockPath.empty() || slash == std::string::npos) {
        return {};
    }
    return lockPath.substr(0, slash + 1) + kSocketName;
}

QByteArray ActivationMessage(const LaunchTokens& tokens)
{
    return QByteArray(kRequest) + '\n' + kWaylandKey + Clean(tokens.xdgActivationToken) + '\n' +
           kX11Key + Clean(tokens.startupId) + "\n\n";
}

std::optional<LaunchTokens> ParseActivationMessage(const QByteArray& message)
{
    const QList<QByteArray> lines = message.left(kMostBytes).split('\n');
    if (lines.isEmpty() || lines.first() != kRequest) {
        return std::nullopt;
    }
    LaunchTokens tokens;
    for (const QByteArray& line : lines) {
        if (line.startsWith(kWaylandKey)) {
            tokens.xdgActivationToken = Clean(line.mid(qsizetype(strlen(kWaylandKey))));
        } else if (line.startsWith(kX11Key)) {
            tokens.startupId = Clean(line.mid(qsizetype(strlen(kX11Key))));
        }
    }
    return tokens;
}

bool TellRunningInstance(const std::string& socketPath, const LaunchTokens& tokens)
{
#ifndef _WIN32
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    socketPath.copy(address.sun_path, socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    // A running instance that does not read (stopped in a debugger) must not hold us.
    const timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const QByteArray message = ActivationMessage(tokens);
    for (qsizetype at = 0; sent && at < message.size();) {
        const ssize_t n = ::send(fd, message.constData() + at,
                                 static_cast<std::size_t>(message.size() - at), MSG_NOSIGNAL);
        sent = n > 0;
        at += n > 0 ? n : 0;
    }
    ::close(fd);
    return sent;
#else
    (void)socketPath;
    (void)tokens;
    return false;
#endif
}

InstanceChannel::InstanceChannel(const std::string& socketPath, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    if (socketPath.empty()) {
        return;
    }
    const QString path = QString::fromStdString(socketPath);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the instance lock, so a socket there is one a crashed instance left.
    QLocalServer::removeServer(path);
    if (m_server->listen(path)) {
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    } else {
        std::fprintf(stderr,
                     "zelvory: cannot listen on \"%s\": a second launch will not bring "
                     "this window forward.\n",
                     socketPath.c_str());
    }
}

bool InstanceChannel::listening() const
{
    return m_server->isListening();
}

void InstanceChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!SameUser(socket)) {
            socket->abort();
            continue;
        }
        auto received = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        const auto finish = [this, socket, received, done] {
            if (*done) {
                return;
            }
            *done = true;
            if (const auto tokens = ParseActivationMessage(*received)) {
                Q_EMIT activationRequested(*tokens);
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, [socket, received, done, finish] {
            received->append(socket->readAll());
            if (received->size() > kMostBytes) {
                *done = true;
                socket->abort();
            } else if (received->contains("\n\n")) {
                finish();
            }
        });
        // A launch that closes without the blank line has still said all it will.
        connect(socket, &QLocalSocket::disconnected, this, finish);
        QTimer::singleShot(kPeerTimeoutMs, socket, [socket, done] {
            *done = true;
            socket->abort();
        });
    }
}

} // namespace zlv
