#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>

#include "update/version_rules.h"

class QNetworkAccessManager;

namespace update {

// Fetches the version file and reports the transfer step by step, as the reply's signals
// arrive; at the end it reports the first 1024 bytes of the body (one character per byte). The
// caller reads the published version from what was reported last.
class VersionCheck : public QObject {
    Q_OBJECT

  public:
    VersionCheck(QNetworkAccessManager& network, std::chrono::milliseconds transferTimeout,
                 QObject* parent = nullptr);
    ~VersionCheck() override;

    // Starts fetching `address`; false (and nothing happens) while a fetch is still under way.
    bool start(const QString& address);
    bool isRunning() const { return reply_ != nullptr; }

  signals:
    // A step of the transfer, or at the end the start of the body (or the blank-response text).
    void reported(const QString& text);
    // The fetch is over, whether it brought a body or failed.
    void ended();

  private:
    void report(int state);
    void reach(int state);
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager& network_;
    std::chrono::milliseconds transferTimeout_;
    QPointer<QNetworkReply> reply_;
    ProgressReport progress_;
    QByteArray chunk_;
};

}  // namespace update
