#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

#include "update/version_rules.h"

class QNetworkAccessManager;

namespace update {

// Fetches the version file and reports the transfer step by step, as the reply's signals
// arrive; at the end it reports the first 1024 bytes of the body (one character per byte), and
// the caller reads the published version from that. Only a 2xx reply is read as the version
// file: any other status ends the check with a text that says so. The transfer stops once 1024
// bytes are in, and ends at the latest at its deadline, however steadily the server sends.
class VersionCheck : public QObject {
    Q_OBJECT

  public:
    // `transferTimeout`: how long the transfer may stay silent; `deadline`: how long it may run.
    VersionCheck(QNetworkAccessManager& network, std::chrono::milliseconds transferTimeout,
                 std::chrono::milliseconds deadline, QObject* parent = nullptr);
    ~VersionCheck() override;

    // Starts fetching `address`; false (and nothing happens) while a fetch is still under way.
    bool start(const QString& address);
    bool isRunning() const { return reply_ != nullptr; }

  signals:
    // A step of the transfer, or at the end the start of the body (or the blank-response text),
    // or why there is no body.
    void reported(const QString& text);
    // The fetch is over; `bodyArrived` when the last report is the start of the version file.
    void ended(bool bodyArrived);

  private:
    void report(int state);
    void reach(int state);
    void onReadyRead();
    void onFinished();
    // Ends the fetch: drops the reply and reports the body, or `failure` when there is none.
    void finish(const QString& failure);

    QNetworkAccessManager& network_;
    std::chrono::milliseconds transferTimeout_;
    QTimer deadline_;
    QPointer<QNetworkReply> reply_;
    ProgressReport progress_;
    QByteArray chunk_;
    long long received_ = 0;
};

}  // namespace update
