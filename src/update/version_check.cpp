#include "update/version_check.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

#include "update/reply_facts.h"
#include "update/update_request.h"

namespace update {
namespace {

// Qt reads at most this far ahead of the check, so a huge body costs no memory.
constexpr qint64 kReadAhead = 16 * 1024;

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

VersionCheck::VersionCheck(QNetworkAccessManager& network,
                           std::chrono::milliseconds transferTimeout,
                           std::chrono::milliseconds deadline, QObject* parent)
    : QObject(parent), network_(network), transferTimeout_(transferTimeout) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    deadline_.setInterval(deadline);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { finish(latin1(*stateText(kCommunicationError))); });
}

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
    received_ = 0;

    QNetworkRequest request = updateRequest(address, transferTimeout_);
    request.setRawHeader("Range", "bytes=0-");
    reply_ = network_.get(request);
    reply_->setReadBufferSize(kReadAhead);
    deadline_.start();

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
        emit reported(latin1(*text));
    }
}

void VersionCheck::reach(int state) {
    for (int step : progress_.reach(state)) {
        report(step);
    }
}

void VersionCheck::onReadyRead() {
    // A redirection's own head comes and goes without a body; the body read is the final one.
    const int status = httpStatus(*reply_);
    if (!isSuccessStatus(status)) {
        finish(QString::fromStdString(statusErrorText(status, reasonPhrase(*reply_))));
        return;
    }
    const QByteArray data = reply_->read(static_cast<qint64>(kVersionChunkSize) - chunk_.size());
    chunk_.append(data);
    received_ += data.size();
    if (chunk_.size() >= static_cast<qsizetype>(kVersionChunkSize)) {
        finish({});  // only the first 1024 bytes are used: the rest is never fetched
    }
}

void VersionCheck::onFinished() {
    if (reply_->error() == QNetworkReply::NoError || reply_->bytesAvailable() > 0) {
        onReadyRead();
        if (reply_ == nullptr) {
            return;
        }
    }
    const int status = httpStatus(*reply_);
    if (const auto own = ownFailureText(*reply_, transferTimeout_)) {
        finish(QString::fromStdString(*own));
    } else if (status != 0 && !isSuccessStatus(status)) {
        finish(QString::fromStdString(statusErrorText(status, reasonPhrase(*reply_))));
    } else if (reply_->error() != QNetworkReply::NoError ||
               judgeBody(*reply_, received_) == BodyArrival::Cut) {
        finish(latin1(*stateText(kCommunicationError)));
    } else {
        finish({});
    }
}

void VersionCheck::finish(const QString& failure) {
    deadline_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    dropReply(reply);  // the rest of the body is not wanted

    // Qt keeps the connection open for the next request, so there is no disconnection to report.
    if (failure.isEmpty()) {
        reach(kResponseReceived);
        report(kRequestCompleted);
        emit reported(chunk_.isEmpty() ? latin1(kBlankResponse) : QString::fromLatin1(chunk_));
    } else {
        emit reported(failure);
    }
    chunk_.clear();
    emit ended(failure.isEmpty());
}

}  // namespace update
