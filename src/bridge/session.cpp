#include "bridge/session.h"

#include <QFile>

#include <algorithm>

#include "keyer/speed_command.h"
#include "platform/number_text.h"

namespace bridge {

Session::Session(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
                 platform::MessageBoxes& messages, std::unique_ptr<platform::AudioOutput> audio,
                 QObject* parent)
    : QObject(parent), keyerPort_(keyerPort), messages_(messages) {
    monitor_ = new tone::MonitorPlayer(this, std::move(audio));
    // The relay listens to the ports first: a dying port's last bytes are relayed before the
    // connection closes both.
    relay_ = new Relay(applicationPort, keyerPort, messages, this);
    const auto side = [this](QString& field, bool& lit) {
        return SideControls{[&field] { return field; }, [&lit] { return lit; },
                            [this, &lit](bool shown) {
                                if (lit != shown) {
                                    lit = shown;
                                    emit lightsChanged();
                                }
                            }};
    };
    connection_ = new Connection(applicationPort, side(applicationField_, applicationLit_),
                                 keyerPort, side(keyerField_, keyerLit_), messages, this);
    connection_->setBeforeClosing([this] { relay_->takeAllWaiting(); });

    connect(relay_, &Relay::keyerStreamRead, this, &Session::onKeyerStreamRead);
    connect(relay_, &Relay::chunkGathered, this, &Session::loggerChunk);
    connect(relay_, &Relay::keyerBytesRelayed, this, &Session::keyerBytesRelayed);
    connect(connection_, &Connection::closed, monitor_, &tone::MonitorPlayer::keyerClosed);
}

Session::~Session() = default;

QString Session::click(const QString& applicationField, const QString& keyerField) {
    applicationField_ = applicationField;
    keyerField_ = keyerField;
    return connection_->click();
}

void Session::setOperatorSpeed(int wpm) {
    if (keyerPort_.isOpen()) {
        relay_->sendOwn(keyer::speedCommand(wpm));
    } else {
        monitor_->setSpeed(wpm);
    }
}

void Session::type(char byte) {
    relay_->GetDataWinkey(std::string(1, byte));
}

void Session::test() {
    monitor_->test();
    // Without a tone file the sidetone is silent by design, and the monitor's reason would
    // wrongly blame the output: nothing is said then.
    const bool toneFileFound =
        std::ranges::any_of(tone::MonitorPlayer::toneFileCandidates(),
                            [](const QString& f) { return QFile::exists(f); });
    const QString problem = toneFileFound ? monitor_->soundProblem() : QString();
    if (problem.isEmpty() || problem == soundProblemSaid_) {
        soundProblemSaid_ = problem;
        return;
    }
    soundProblemSaid_ = problem;
    messages_.inform(problem);
}

// The latency is its field's leading number, in milliseconds.
void Session::setLatencyText(const std::string& text) {
    monitor_->setLatency(numbers::leadingNumber(text));
}

// The keyer's stream sounds on the monitor the latency later; a speed of the logger's shows on
// the bar. Our own speed came from the bar.
void Session::onKeyerStreamRead(const std::vector<keyer::StreamEvent>& events,
                                std::chrono::nanoseconds forwardedAt, Origin origin) {
    monitor_->keyerStream(events, forwardedAt);
    if (origin != Origin::Logger) {
        return;
    }
    for (const keyer::StreamEvent& event : events) {
        if (event.kind == keyer::StreamEvent::Kind::Speed && keyer::SpeedRange::contains(event.a)) {
            emit speedFollowed(event.a);
        }
    }
}

}  // namespace bridge
