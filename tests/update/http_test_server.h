#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

// A one-answer-per-connection HTTP server on 127.0.0.1: it records each request's head and
// sends the scripted response (or nothing at all), then closes the connection.
class HttpTestServer : public QObject {
  public:
    HttpTestServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket,
                        [this, socket] { onReadyRead(socket); });
            }
        });
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }

    void respond(int status, const QByteArray& body, const QByteArray& reason = "OK") {
        answer_ = "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
                  "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body;
        silent_ = false;
    }
    void neverAnswer() { silent_ = true; }

    QList<QByteArray> requests;  // each request's head, up to the blank line
    int connections = 0;

  private:
    void onReadyRead(QTcpSocket* socket) {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        const auto end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        requests << buffer.left(end);
        buffer.clear();
        if (!silent_) {
            socket->write(answer_);
            socket->disconnectFromHost();
        }
    }

    QTcpServer server_;
    QByteArray answer_;
    bool silent_ = false;
    QHash<QTcpSocket*, QByteArray> pending_;
};
