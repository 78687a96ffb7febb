#include "update/file_download.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

#include "update/install_rules.h"

namespace update {
namespace {

int httpStatus(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccess(int status) {
    return status >= 200 && status <= 299;
}

}  // namespace

FileDownload::FileDownload(QNetworkAccessManager& network,
                           std::chrono::milliseconds transferTimeout, QObject* parent)
    : QObject(parent), network_(network), transferTimeout_(transferTimeout) {}

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
    fileErrorNumber_ = 0;
    fileError_.clear();

    QNetworkRequest request{QUrl(sourceFile)};
    request.setTransferTimeout(static_cast<int>(transferTimeout_.count()));
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &FileDownload::onMetaDataChanged);
    connect(reply_, &QNetworkReply::readyRead, this, &FileDownload::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &FileDownload::onFinished);
    return true;
}

void FileDownload::onMetaDataChanged() {
    if (file_ != nullptr || !fileError_.isEmpty() || !isSuccess(httpStatus(*reply_))) {
        return;
    }
    file_ = std::make_unique<QSaveFile>(destFile_);
    if (!file_->open(QIODevice::WriteOnly)) {
        failWithFile();
    }
}

void FileDownload::onReadyRead() {
    const QByteArray data = reply_->readAll();  // an error page is read and dropped
    if (file_ != nullptr && file_->write(data) != data.size()) {
        failWithFile();
    }
}

void FileDownload::failWithFile() {
    fileErrorNumber_ = file_->error();
    fileError_ = file_->errorString();
    file_.reset();  // drops the temporary file; the destination is untouched
    reply_->abort();
}

void FileDownload::onFinished() {
    QNetworkReply* reply = reply_;
    if (fileError_.isEmpty() && reply->isOpen()) {
        onReadyRead();
    }
    reply->deleteLater();
    reply_ = nullptr;

    long long number = 0;
    QString description;
    const int status = httpStatus(*reply);
    if (!fileError_.isEmpty()) {
        number = fileErrorNumber_;
        description = fileError_;
    } else if (reply->error() != QNetworkReply::NoError) {
        number = status != 0 ? status : reply->error();
        description = reply->errorString();
    } else if (!isSuccess(status) || file_ == nullptr) {
        number = status;
        description =
            QStringLiteral("The server answered with status %1 %2.")
                .arg(status)
                .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    } else if (!file_->commit()) {
        number = file_->error();
        description = file_->errorString();
    } else {
        file_.reset();
        emit finished(true, QString());
        return;
    }
    file_.reset();
    emit finished(false, QString::fromStdString(downloadErrorText(number, sourceFile_.toStdString(),
                                                                  destFile_.toStdString(),
                                                                  description.toStdString())));
}

}  // namespace update
