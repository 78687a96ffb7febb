#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace app {

// Turns the signals that end a program on a desktop (SIGTERM from a logout, systemd or kill;
// SIGINT from Ctrl+C; SIGHUP from a closed terminal) into an ordinary event on the window's
// thread, so the program can end as a close ends it. The handler only writes the signal's
// number to a pipe (async-signal-safe); everything else happens when the event loop reads it.
// One per process.
class SignalEnd : public QObject {
    Q_OBJECT

  public:
    explicit SignalEnd(QObject* parent = nullptr);
    ~SignalEnd() override;

    // Whether the handlers are in place (the pipe could be made).
    bool isWatching() const { return notifier_ != nullptr; }

  signals:
    // One of the signals arrived: end the program now.
    void endRequested(int signal);

  private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace app
