#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

class QSaveFile;

namespace update {

// Downloads a whole file without holding up the caller. Only a body sent with a successful HTTP
// status is kept: it is written to a temporary file beside the destination and renamed into
// place at the end, so a failed download (an error page, a broken connection, a full disk)
// leaves whatever file was there before as it was.
class FileDownload : public QObject {
    Q_OBJECT

  public:
    FileDownload(QNetworkAccessManager& network, std::chrono::milliseconds transferTimeout,
                 QObject* parent = nullptr);
    ~FileDownload() override;

    // Fetches `sourceFile` into `destFile` (relative names are in the working directory); false
    // (and nothing happens) while a download is still under way.
    bool start(const QString& sourceFile, const QString& destFile);
    bool isRunning() const { return reply_ != nullptr; }

  signals:
    // The download is over: the file is in place, or `errorText` says why not (the text of the
    // "Download Error" message).
    void finished(bool written, const QString& errorText);

  private:
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void failWithFile();

    QNetworkAccessManager& network_;
    std::chrono::milliseconds transferTimeout_;
    QPointer<QNetworkReply> reply_;
    QString sourceFile_;
    QString destFile_;
    std::unique_ptr<QSaveFile> file_;  // open only while a successful response is arriving
    long long fileErrorNumber_ = 0;
    QString fileError_;
};

}  // namespace update
