#pragma once

#include "utility/ProductVersion.h"

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace zlv::test {

// A version file server on 127.0.0.1 that answers each request with `status` and `body`
// after 50 ms; with an empty status it takes the connection and never answers.
class VersionServer final : public QObject
{
public:
    QByteArray status = "200 OK";
    QByteArray body = zlv::kProgramVersion; // the running version: nothing newer
    std::function<void()> onRequest;        // runs while the client waits for the answer

    VersionServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n")) {
                        return; // the request's head is not complete yet
                    }
                    socket->readAll();
                    if (onRequest) {
                        onRequest();
                    }
                    QTimer::singleShot(50, socket, [this, socket] {
                        if (!status.isEmpty()) {
                            socket->write("HTTP/1.1 " + status +
                                          "\r\nContent-Length: " + QByteArray::number(body.size()) +
                                          "\r\nConnection: close\r\n\r\n" + body);
                            socket->disconnectFromHost();
                        }
                    });
                });
            }
        });
    }

    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/vers/zlv.txt").arg(m_server.serverPort());
    }

private:
    QTcpServer m_server;
};

} // namespace zlv::test
