#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

// A one-answer-per-connection HTTP server on 127.0.0.1 (or another loopback address): it
// records each request's head and sends the scripted answer (or nothing at all), or the one
// scripted for the request's path. An answer can be cut, endless, huge or slow.
class HttpTestServer : public QObject {
  public:
    struct Answer {
        QByteArray head;     // the status line and header lines, without the blank line
        QByteArray body;     // sent after the head
        qint64 repeats = 1;  // the body is sent this many times (a huge body from a small one)
        int msPerByte = 0;   // above 0: the body trickles, one byte each time this passes
        bool close = true;   // close the connection once the body is out
    };

    explicit HttpTestServer(const QHostAddress& address = QHostAddress::LocalHost) {
        server_.listen(address, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket,
                        [this, socket] { onReadyRead(socket); });
            }
        });
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://%1:%2%3")
            .arg(server_.serverAddress().toString())
            .arg(server_.serverPort())
            .arg(path);
    }

    // A whole answer with its Content-Length.
    void respond(int status, const QByteArray& body, const QByteArray& reason = "OK") {
        answer(head(status, reason) + "\r\nContent-Length: " + QByteArray::number(body.size()),
               body);
    }
    void answer(const QByteArray& head, const QByteArray& body) { script({head, body}); }
    void script(const Answer& answer) {
        answer_ = answer;
        silent_ = false;
    }
    void neverAnswer() { silent_ = true; }
    // The answer for requests of one path, in place of the scripted one.
    void respondTo(const QByteArray& path, int status, const QByteArray& extraHead,
                   const QByteArray& body) {
        byPath_[path] = Answer{head(status, status == 200 ? "OK" : "Moved") + extraHead +
                                   "\r\nContent-Length: " + QByteArray::number(body.size()),
                               body};
    }

    static QByteArray head(int status, const QByteArray& reason = "OK") {
        return "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
               "\r\nContent-Type: text/plain\r\nConnection: close";
    }

    QList<QByteArray> requests;  // each request's head, up to the blank line
    int connections = 0;
    qint64 bodyBytesSent = 0;  // over all connections

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
        const QByteArray path = requests.back().split(' ').value(1);
        if (silent_ && !byPath_.contains(path)) {
            return;
        }
        const Answer answer = byPath_.value(path, answer_);
        socket->write(answer.head + "\r\n\r\n");
        if (answer.msPerByte > 0) {
            trickle(socket, answer);
        } else {
            pour(socket, answer, answer.repeats);
        }
    }

    // Writes the body repeat by repeat, each once the socket has room for it.
    void pour(QTcpSocket* socket, const Answer& answer, qint64 left) {
        auto pending = std::make_shared<qint64>(left);
        const auto more = [this, socket, answer, pending] {
            while (*pending > 0 && socket->bytesToWrite() < 256 * 1024 &&
                   socket->state() == QAbstractSocket::ConnectedState) {
                socket->write(answer.body);
                bodyBytesSent += answer.body.size();
                --*pending;
            }
            if (*pending == 0 && answer.close) {
                *pending = -1;
                socket->disconnectFromHost();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    }

    void trickle(QTcpSocket* socket, const Answer& answer) {
        auto* timer = new QTimer(socket);
        const QByteArray body = answer.body;
        auto at = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [this, socket, body, at] {
            if (socket->state() != QAbstractSocket::ConnectedState || body.isEmpty()) {
                return;
            }
            socket->write(body.mid(*at % body.size(), 1));
            ++*at;
            ++bodyBytesSent;
        });
        timer->start(answer.msPerByte);
    }

    QTcpServer server_;
    Answer answer_;
    bool silent_ = false;
    QHash<QByteArray, Answer> byPath_;
    QHash<QTcpSocket*, QByteArray> pending_;
};
