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

std::optional<int> hexByte(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || text.size() > 2) {
        return std::nullopt;
    }
    return value;
}

// "0F C4 18": bytes written in hex, separated by blanks.
std::optional<std::string> hexBytes(std::string_view text) {
    std::string bytes;
    while (!(text = trimmed(text)).empty()) {
        const auto blank = text.find_first_of(" \t");
        const auto byte = hexByte(text.substr(0, blank));
        if (!byte) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*byte);
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank);
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
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
    const Step text{Step::Kind::Text, std::string(line), 0, 0};
    if (word.front() != '@') {
        return text;
    }
    const auto nameEnd = std::min(word.find_first_of(" \t"), word.size());
    const std::string_view name = word.substr(0, nameEnd);
    const std::string_view argument = trimmed(word.substr(nameEnd));
    // Text after "@paced " or "@trickle ", blanks included.
    const std::string_view rest =
        word.size() > nameEnd ? line.substr(line.find(name) + nameEnd + 1) : std::string_view();
    if (name == "@bytes") {
        const auto bytes = hexBytes(argument);
        return bytes ? Step{Step::Kind::Bytes, *bytes, 0, 0} : text;
    }
    if (name == "@expect") {
        const auto byte = argument == "any" ? std::optional(-1) : hexByte(argument);
        return byte ? Step{Step::Kind::Expect, {}, *byte, 0} : text;
    }
    if ((name == "@paced" || name == "@trickle") && !rest.empty()) {
        return Step{name == "@paced" ? Step::Kind::Paced : Step::Kind::Trickle, std::string(rest),
                    0, 0};
    }
    if (name == "@seed") {
        int seed = 0;
        const auto [end, ec] =
            std::from_chars(argument.data(), argument.data() + argument.size(), seed);
        return ec == std::errc() ? Step{Step::Kind::Seed, {}, seed, 0} : text;
    }
    if (word == "@no-handshake") {
        return Step{Step::Kind::NoHandshake, {}, 0, 0};
    }
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

void SimLogger::addStep(Step step) {
    if (step.kind == Step::Kind::NoHandshake) {
        handshake_ = false;
    }
    steps_.push_back(std::move(step));
}

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
            heard_ += c;
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
            if (!handshake_ && now >= deadline_) {
                phase_ = Phase::Ready;  // the script opens the keyer
                break;
            }
            [[fallthrough]];
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
            sent(now);
            if (textSent_ < step.text.size()) {
                return false;
            }
            textSent_ = 0;
            break;
        }
        case Step::Kind::Paced:
        case Step::Kind::Trickle: {
            const bool paced = step.kind == Step::Kind::Paced;
            const bool due =
                textSent_ == 0 || (paced ? echoed_.size() > pacedAt_ : now >= nextSlice_);
            if (!due) {
                return false;
            }
            out += step.text[textSent_++];
            pacedAt_ = echoed_.size();
            if (!paced) {
                nextSlice_ = now + trickleInterval();
            }
            sent(now);
            if (textSent_ < step.text.size()) {
                return false;
            }
            textSent_ = 0;
            break;
        }
        case Step::Kind::Bytes:
            out += step.text;
            sent(now);
            break;
        case Step::Kind::Expect: {
            const auto found = step.value < 0 ? (heard_.empty() ? std::string::npos : 0)
                                              : heard_.find(static_cast<char>(step.value));
            if (found == std::string::npos) {
                return false;
            }
            heard_.erase(0, found + 1);
            break;
        }
        case Step::Kind::Seed:
            jitter_.seed(static_cast<std::mt19937::result_type>(step.value));
            break;
        case Step::Kind::NoHandshake:
            break;
        case Step::Kind::Speed:
            speed_ = step.value;
            out += speedCommand(step.value);
            heard_.clear();
            break;
        case Step::Kind::Cancel:
            out += '\x0A';
            heard_.clear();
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

// Text went out at `now`: answers heard before it are not answers to it, and @idle waits for
// the keyer to have been busy with it.
void SimLogger::sent(Time now) {
    heard_.clear();
    lastTextSent_ = now;
    busySinceText_ = busy_;
}

// A typist's pace: 250 to 500 ms from one character to the next.
std::chrono::milliseconds SimLogger::trickleInterval() {
    return std::chrono::milliseconds(250 + jitter_() % 251);
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
        case Step::Kind::Trickle:
            return textSent_ == 0 ? Time{} : nextSlice_;
        case Step::Kind::Paced:
            return textSent_ == 0 || echoed_.size() > pacedAt_ ? std::optional<Time>(Time{})
                                                               : std::nullopt;
        case Step::Kind::Expect:
            return std::nullopt;  // the keyer's answer wakes us
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
