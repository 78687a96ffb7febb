#include "sim_logger.h"

#include <charconv>
#include <cstdlib>

namespace sim {
namespace {

constexpr std::string_view kOpening{"\x13\x13\x13\x00\x04\x55", 6};  // no-ops, echo test
constexpr char kEchoTestByte = 0x55;
constexpr std::string_view kHostOpen{"\x00\x02", 2};
constexpr std::string_view kModeSerialEcho{"\x0E\x04", 2};  // iambic B, serial echo on
constexpr std::string_view kPinsKeyOneSidetone{"\x09\x06", 2};

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string speedCommand(int wpm) {
    return {'\x02', static_cast<char>(wpm)};
}

}  // namespace

std::optional<Step> parseStep(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    const std::string_view word = trimmed(line);
    if (word.empty() || word.front() == '#') {
        return std::nullopt;
    }
    if (word.front() != '@') {
        return Step{Step::Kind::Text, std::string(line), 0, 0};
    }
    const std::string_view argument = trimmed(word.substr(
        word.find_first_of(" \t") == std::string_view::npos ? word.size()
                                                            : word.find_first_of(" \t")));
    if (startsWith(word, "@speed")) {
        int wpm = 0;
        std::from_chars(argument.data(), argument.data() + argument.size(), wpm);
        return Step{Step::Kind::Speed, {}, wpm, 0};
    }
    if (word == "@cancel") {
        return Step{Step::Kind::Cancel, {}, 0, 0};
    }
    if (word == "@idle") {
        return Step{Step::Kind::Idle, {}, 0, 0};
    }
    if (startsWith(word, "@wait")) {
        return Step{Step::Kind::Wait, {}, 0, std::strtod(std::string(argument).c_str(), nullptr)};
    }
    return Step{Step::Kind::Text, std::string(line), 0, 0};  // not a directive after all
}

std::vector<Step> parseScript(std::string_view script) {
    std::vector<Step> steps;
    while (!script.empty()) {
        const auto end = script.find('\n');
        if (auto step = parseStep(script.substr(0, end))) {
            steps.push_back(std::move(*step));
        }
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    }
    return steps;
}

SimLogger::SimLogger(int speedWpm) : speed_(speedWpm) {}

void SimLogger::connected(Time now) {
    phase_ = Phase::Settling;
    deadline_ = now + kSettle;
    busy_ = xoff_ = false;
}

void SimLogger::disconnected() {
    phase_ = Phase::Closed;
    textSent_ = 0;  // a line cut short goes again in full
    waitUntil_.reset();
}

std::string SimLogger::receive(std::string_view bytes, Time now) {
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xE0) == 0xC0) {  // status
            busy_ = (byte & 0x04) != 0;
            xoff_ = (byte & 0x01) != 0;
            busySinceText_ = busySinceText_ || busy_;
        } else if ((byte & 0xC0) == 0x80) {
            // the speed pot: this logger keeps its own speed
        } else if (phase_ == Phase::EchoTest) {
            if (c == kEchoTestByte) {
                phase_ = Phase::HostOpen;
                deadline_ = now;
            }
        } else if (phase_ == Phase::HostOpen) {
            if (c != kEchoTestByte) {  // a late answer to a repeated echo test is not it
                version_ = byte;
                phase_ = Phase::Ready;
                settingsDue_ = true;
            }
        } else if (phase_ == Phase::Ready) {
            echoed_ += c;
        }
    }
    return advance(now);
}

std::string SimLogger::advance(Time now) {
    std::string out;
    switch (phase_) {
        case Phase::Closed:
            return out;
        case Phase::Settling:
        case Phase::EchoTest:  // not answered: start again
            if (now >= deadline_) {
                out += kOpening;
                phase_ = Phase::EchoTest;
                deadline_ = now + kRetry;
            }
            return out;
        case Phase::HostOpen:
            if (now >= deadline_) {
                out += kHostOpen;
                deadline_ = now + kRetry;
            }
            return out;
        case Phase::Ready:
            break;
    }
    if (settingsDue_) {
        settingsDue_ = false;
        out += kModeSerialEcho;
        out += kPinsKeyOneSidetone;
        out += speedCommand(speed_);
    }
    while (runStep(now, out)) {
    }
    if (steps_.empty() && !repeat_.empty()) {
        steps_.assign(repeat_.begin(), repeat_.end());
    }
    return out;
}

// Does what the first step asks at `now`; true when it is finished and the next may run.
bool SimLogger::runStep(Time now, std::string& out) {
    if (steps_.empty()) {
        return false;
    }
    Step& step = steps_.front();
    switch (step.kind) {
        case Step::Kind::Text: {
            if (xoff_ || now < nextSlice_) {
                return false;
            }
            const std::string_view slice =
                std::string_view(step.text).substr(textSent_, kSliceBytes);
            out += slice;
            textSent_ += slice.size();
            nextSlice_ = now + kSliceEvery;
            lastTextSent_ = now;
            busySinceText_ = busy_;
            if (textSent_ < step.text.size()) {
                return false;
            }
            textSent_ = 0;
            break;
        }
        case Step::Kind::Speed:
            speed_ = step.value;
            out += speedCommand(step.value);
            break;
        case Step::Kind::Cancel:
            out += '\x0A';
            break;
        case Step::Kind::Wait:
            if (!waitUntil_) {
                waitUntil_ = now + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(step.seconds));
            }
            if (now < *waitUntil_) {
                return false;
            }
            waitUntil_.reset();
            break;
        case Step::Kind::Idle:
            // Busy must have been seen since the text went, unless nothing was ever keyed.
            if (busy_ || xoff_) {
                return false;
            }
            if (lastTextSent_ && !busySinceText_ && now < *lastTextSent_ + kIdleTimeout) {
                return false;
            }
            break;
    }
    steps_.pop_front();
    return true;
}

std::optional<Time> SimLogger::nextDue() const {
    switch (phase_) {
        case Phase::Closed:
            return std::nullopt;
        case Phase::Settling:
        case Phase::EchoTest:
        case Phase::HostOpen:
            return deadline_;
        case Phase::Ready:
            break;
    }
    if (steps_.empty()) {
        return std::nullopt;
    }
    const Step& step = steps_.front();
    switch (step.kind) {
        case Step::Kind::Text:
            return xoff_ ? std::nullopt : std::optional<Time>(nextSlice_);
        case Step::Kind::Wait:
            return waitUntil_;
        case Step::Kind::Idle:
            if (!busy_ && !xoff_ && lastTextSent_ && !busySinceText_) {
                return *lastTextSent_ + kIdleTimeout;
            }
            return std::nullopt;
        default:
            return Time{};
    }
}

}  // namespace sim
