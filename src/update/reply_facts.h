#pragma once

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

#include <optional>
#include <string>

#include "update/transfer_rules.h"

// What a reply's head says about its status and its body.
namespace update {

inline int httpStatus(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

inline std::string reasonPhrase(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toStdString();
}

// Lets go of a reply that is no longer wanted: its transfer stops and it is deleted. Both happen
// once the reply's current signal is over; Qt 6.4 complains when a reply is aborted while it is
// still reporting an error status.
inline void dropReply(QNetworkReply* reply) {
    QTimer::singleShot(0, reply, [reply] {
        if (!reply->isFinished()) {
            reply->abort();
        }
        reply->deleteLater();
    });
}

inline bool isChunked(const QNetworkReply& reply) {
    return reply.rawHeader("Transfer-Encoding").toLower().contains("chunked");
}

// The body's length as the server announced it; absent for a chunked body, whose chunks carry
// their own lengths.
inline std::optional<long long> announcedLength(const QNetworkReply& reply) {
    bool ok = false;
    const qlonglong length = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    return ok && !isChunked(reply) ? std::optional<long long>(length) : std::nullopt;
}

inline BodyArrival judgeBody(const QNetworkReply& reply, long long received) {
    return judgeBody(isChunked(reply), announcedLength(reply), received);
}

// What a failed reply says in words of its own, when Qt's would mislead: a transfer that
// went silent past its timeout (Qt calls it "Operation canceled", as if someone had
// cancelled it; nobody else cancels a reply that is still listened to), and a redirection to
// another server. Nothing for any other error.
inline std::optional<std::string> ownFailureText(const QNetworkReply& reply,
                                                 std::chrono::milliseconds transferTimeout) {
    switch (reply.error()) {
        case QNetworkReply::OperationCanceledError:
            return silenceText(transferTimeout);
        case QNetworkReply::InsecureRedirectError:
            return foreignRedirectText(reply.url()
                                           .resolved(QUrl::fromEncoded(reply.rawHeader("Location")))
                                           .toString()
                                           .toStdString());
        default:
            return std::nullopt;
    }
}

}  // namespace update
