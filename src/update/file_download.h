#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace platform {
class WholeFileWriter;
}

namespace update {

// Downloads a whole file without holding up the caller. Only a body known to have arrived whole
// is kept: a 2xx status and the announced Content-Length met. It is written to a temporary file
// beside the destination, every write checked, and renamed into place at the end, so a failed
// download (an error page, a cut or endless transfer, a full disk) leaves whatever file was
// there before as it was. A body whose length is not announced (ended by the connection's close,
// or chunked) is refused: its cut cannot be told from its end.
class FileDownload : public QObject {
    Q_OBJECT

  public:
    // `transferTimeout`: how long the transfer may stay silent; `deadline`: how long it may run.
    FileDownload(QNetworkAccessManager& network, std::chrono::milliseconds transferTimeout,
                 std::chrono::milliseconds deadline, QObject* parent = nullptr);
    ~FileDownload() override;

    // Fetches `sourceFile` into `destFile` (relative names are in the working directory); false
    // (and nothing happens) while a download is still under way.
    bool start(const QString& sourceFile, const QString& destFile);
    bool isRunning() const { return reply_ != nullptr; }

  signals:
    // Bytes written so far, and the announced total (negative when the server did not say).
    void progressed(qint64 received, qint64 total);
    // The download is over: the file is in place, or `errorText` says why not (the text of the
    // "Download Error" message).
    void finished(bool written, const QString& errorText);

  private:
    void onReadyRead();
    void onFinished();
    // Drops the transfer and the temporary file and reports why.
    void fail(long long number, const QString& description);
    void failWithFile();

    QNetworkAccessManager& network_;
    std::chrono::milliseconds transferTimeout_;
    QTimer deadline_;
    QPointer<QNetworkReply> reply_;
    QString sourceFile_;
    QString destFile_;
    std::unique_ptr<platform::WholeFileWriter> file_;  // open while a 2xx body is arriving
    long long received_ = 0;
};

}  // namespace update
