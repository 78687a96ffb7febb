#include "update/version_check.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace update {
namespace {

// An error that only reports the HTTP status of a response that did arrive: its body (an error
// page, say) is read like any other.
bool isStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

}  // namespace

VersionCheck::VersionCheck(QNetworkAccessManager& network,
                           std::chrono::milliseconds transferTimeout, QObject* parent)
    : QObject(parent), network_(network), transferTimeout_(transferTimeout) {}

VersionCheck::~VersionCheck() {
    if (reply_ != nullptr) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
}

bool VersionCheck::start(const QString& address) {
    if (isRunning()) {
        return false;
    }
    progress_ = ProgressReport();
    chunk_.clear();

    QNetworkRequest request{QUrl(address)};
    request.setRawHeader("Range", "bytes=0-");
    request.setTransferTimeout(static_cast<int>(transferTimeout_.count()));
    reply_ = network_.get(request);

    // Qt does not report the name lookup, the connection and the request on their own: the
    // start of connecting begins the lookup, and a sent request proves the steps before it.
    connect(reply_, &QNetworkReply::socketStartedConnecting, this,
            [this] { reach(kLookingUpHost); });
    connect(reply_, &QNetworkReply::requestSent, this, [this] { reach(kRequestSent); });
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] { reach(kReceivingResponse); });
    connect(reply_, &QNetworkReply::readyRead, this, &VersionCheck::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &VersionCheck::onFinished);
    return true;
}

void VersionCheck::report(int state) {
    if (const auto text = stateText(state)) {
        emit reported(QString::fromLatin1(text->data(), static_cast<qsizetype>(text->size())));
    }
}

void VersionCheck::reach(int state) {
    for (int step : progress_.reach(state)) {
        report(step);
    }
}

void VersionCheck::onReadyRead() {
    if (!reply_->isOpen()) {
        return;  // a request that failed before any answer
    }
    // Only the first chunk is ever looked at; the rest is read and dropped.
    const QByteArray data = reply_->readAll();
    const auto room = static_cast<qsizetype>(kVersionChunkSize) - chunk_.size();
    if (room > 0) {
        chunk_.append(data.left(room));
    }
}

void VersionCheck::onFinished() {
    onReadyRead();
    QNetworkReply* reply = reply_;
    reply->deleteLater();
    reply_ = nullptr;

    // Qt keeps the connection open for the next request, so there is no disconnection to report.
    if (reply->error() == QNetworkReply::NoError || isStatusError(reply->error())) {
        reach(kResponseReceived);
        report(kRequestCompleted);
        emit reported(chunk_.isEmpty()
                          ? QString::fromLatin1(kBlankResponse.data(), kBlankResponse.size())
                          : QString::fromLatin1(chunk_));
    } else {
        report(kCommunicationError);
    }
    chunk_.clear();
    emit ended();
}

}  // namespace update
