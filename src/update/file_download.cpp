#include "update/file_download.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

#include "platform/whole_file_writer.h"
#include "update/install_rules.h"
#include "update/reply_facts.h"
#include "update/update_request.h"

namespace update {
namespace {

// Qt reads at most this far ahead of the file, so memory stays small whatever the size.
constexpr qint64 kReadAhead = 1024 * 1024;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

FileDownload::FileDownload(QNetworkAccessManager& network,
                           std::chrono::milliseconds transferTimeout,
                           std::chrono::milliseconds deadline, QObject* parent)
    : QObject(parent), network_(network), transferTimeout_(transferTimeout) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    deadline_.setInterval(deadline);
    connect(&deadline_, &QTimer::timeout, this,
            [this, deadline] { fail(QNetworkReply::TimeoutError, text(deadlineText(deadline))); });
}

FileDownload::~FileDownload() {
    if (reply_ != nullptr) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
}

bool FileDownload::start(const QString& sourceFile, const QString& destFile) {
    if (isRunning()) {
        return false;
    }
    sourceFile_ = sourceFile;
    destFile_ = destFile;
    file_.reset();
    received_ = 0;

    QNetworkRequest request = updateRequest(sourceFile, transferTimeout_);
    // The bytes as stored: the announced length is then the length of what is written.
    request.setRawHeader("Accept-Encoding", "identity");
    reply_ = network_.get(request);
    reply_->setReadBufferSize(kReadAhead);
    deadline_.start();
    connect(reply_, &QNetworkReply::readyRead, this, &FileDownload::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &FileDownload::onFinished);
    return true;
}

void FileDownload::onReadyRead() {
    // A redirection's own head comes and goes without a body; the body read is the final one.
    const int status = httpStatus(*reply_);
    if (!isSuccessStatus(status)) {
        fail(status, text(statusErrorText(status, reasonPhrase(*reply_))));
        return;
    }
    if (file_ == nullptr) {
        file_ = std::make_unique<platform::WholeFileWriter>(destFile_);
        if (!file_->open()) {
            failWithFile();
            return;
        }
    }
    const QByteArray data = reply_->readAll();
    if (!file_->write(data)) {
        failWithFile();
        return;
    }
    received_ += data.size();
    emit progressed(received_, announcedLength(*reply_).value_or(-1));
}

void FileDownload::failWithFile() {
    fail(file_->errorNumber(), file_->errorString());
}

void FileDownload::onFinished() {
    if (reply_->error() == QNetworkReply::NoError || reply_->bytesAvailable() > 0) {
        onReadyRead();
        if (reply_ == nullptr) {
            return;
        }
    }
    const int status = httpStatus(*reply_);
    const auto total = announcedLength(*reply_);
    if (const auto own = ownFailureText(*reply_, transferTimeout_)) {
        // A silent server is a timeout, whatever Qt calls it.
        fail(reply_->error() == QNetworkReply::OperationCanceledError ? QNetworkReply::TimeoutError
                                                                      : reply_->error(),
             text(*own));
    } else if (status != 0 && !isSuccessStatus(status)) {
        fail(status, text(statusErrorText(status, reasonPhrase(*reply_))));
    } else if (reply_->error() == QNetworkReply::RemoteHostClosedError && status != 0) {
        fail(reply_->error(), text(cutBodyText(received_, total)));
    } else if (reply_->error() != QNetworkReply::NoError) {
        fail(reply_->error(), reply_->errorString());
    } else if (const BodyArrival arrival = judgeBody(*reply_, received_);
               arrival == BodyArrival::Cut) {
        fail(QNetworkReply::RemoteHostClosedError, text(cutBodyText(received_, total)));
    } else if (arrival == BodyArrival::LengthUnknown) {
        fail(QNetworkReply::ProtocolFailure, text(unknownLengthText()));
    } else if (received_ == 0) {
        fail(QNetworkReply::ProtocolFailure, text(emptyBodyText()));
    } else if (!file_->commit()) {
        failWithFile();
    } else {
        deadline_.stop();
        reply_->deleteLater();
        reply_ = nullptr;
        file_.reset();
        emit finished(true, QString());
    }
}

void FileDownload::fail(long long number, const QString& description) {
    deadline_.stop();
    if (reply_ != nullptr) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        dropReply(reply);
    }
    file_.reset();  // drops the temporary file; the destination is untouched
    emit finished(false,
                  text(downloadErrorText(number, sourceFile_.toStdString(), destFile_.toStdString(),
                                         description.toStdString())));
}

}  // namespace update
