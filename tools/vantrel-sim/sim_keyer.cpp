#include "sim_keyer.h"

#include <algorithm>

namespace sim {
namespace {

constexpr unsigned char kMerge = 0x1B;
// A tune that is never let up ends by the keyer's own watchdog (see docs/keyer-timing.md).
constexpr auto kTuneWatchdog = std::chrono::seconds(100);

}  // namespace

SimKeyer::SimKeyer(int speedWpm) : speed_(speedWpm) {}

std::size_t SimKeyer::buffered() const {
    std::size_t bytes = 0;
    for (const auto& item : buffer_) {
        bytes += item.size();
    }
    return bytes;
}

std::uint8_t SimKeyer::status() const {
    std::uint8_t s = 0xC0;
    if ((sending_ && !sending_->echoed) || !buffer_.empty() || tuneDown_) {
        s |= 0x04;
    }
    if (buffered() * 3 > kBufferSize * 2) {
        s |= 0x01;
    }
    return s;
}

std::vector<SimKeyer::KeyEdge> SimKeyer::takeKeyEdges() {
    std::vector<KeyEdge> edges;
    edges.swap(edges_);
    return edges;
}

std::string SimKeyer::receive(std::string_view bytes, Time now) {
    std::string out = advance(now);
    for (char byte : bytes) {
        take(static_cast<unsigned char>(byte), now, out);
    }
    return out;
}

// Everything not started goes, a sounding mark ends now, and the next item may start at once.
void SimKeyer::clear(Time now) {
    buffer_.clear();
    sending_.reset();
    bufferedSpeed_.reset();
    setMark(false, now);
    setTune(false, now);
    readyAt_ = now;
    rested_ = true;
}

// Starts the next item of the buffer at `at` (no earlier than the end of the one before).
// Commands in the buffer take no time and run at once. Returns whether the buffer moved.
bool SimKeyer::startNext(Time at) {
    bool moved = false;
    while (!sending_ && !buffer_.empty() && !tuneDown_) {
        const std::string item = std::move(buffer_.front());
        buffer_.pop_front();
        moved = true;
        const auto first = static_cast<unsigned char>(item[0]);
        const int value = item.size() > 1 ? static_cast<unsigned char>(item[1]) : 0;
        const bool rested = rested_ || at > readyAt_;
        const auto pattern = [](char c) { return std::string(morsePattern(c).value_or("")); };
        Sending next{{}, at, 0, item, false};
        switch (first) {
            case ' ':
                next.keying = keySilence(4, speed(), timing_);
                break;
            case '|':
                next.keying = keySilence(0.5, speed(), timing_);
                break;
            case kMerge:
                next.keying =
                    keyPattern(pattern(item[1]) + pattern(item[2]), speed(), timing_, rested);
                next.echo = item.substr(1);
                break;
            case 0x19:  // key down for n seconds
            case 0x1A:  // wait n seconds
                next.keying =
                    keySteady(std::chrono::seconds(value), first == 0x19, timing_, rested);
                next.echo.clear();
                break;
            case 0x1C:  // speed from here in the buffer on
                bufferedSpeed_ = speedFrom(value);
                continue;
            case 0x1E:  // back to the speed of the last 0x02
                bufferedSpeed_.reset();
                continue;
            default:
                if (first < 0x20) {
                    continue;  // PTT, HSCW speed, no-op: nothing to key
                }
                next.keying = keyPattern(pattern(item[0]), speed(), timing_, rested);
                break;
        }
        sending_ = std::move(next);
        rested_ = false;
    }
    return moved;
}

// Does the next thing that falls due by `now`: a key edge, an echo, the end of an item, the
// start of the next. Returns false when nothing is due.
bool SimKeyer::step(Time now, std::string& out) {
    const std::optional<Time> sendingAt = sendingDue();
    if (tuneDown_ && tuneUntil_ <= now && (!sendingAt || tuneUntil_ <= *sendingAt)) {
        setTune(false, tuneUntil_);
        if (!sending_ && readyAt_ <= tuneUntil_) {
            startNext(tuneUntil_);
        }
        noteStatus(out);
        return true;
    }
    if (sending_) {
        Sending& s = *sending_;
        const auto& marks = s.keying.marks;
        if (s.edgesDone < 2 * marks.size()) {
            const auto& mark = marks[s.edgesDone / 2];
            const bool down = s.edgesDone % 2 == 0;
            const Time at = s.start + (down ? mark.first : mark.second);
            if (at > now) {
                return false;
            }
            setMark(down, at);
            ++s.edgesDone;
            return true;
        }
        if (!s.echoed) {
            if (s.start + s.keying.keyEnd > now) {
                return false;
            }
            s.echoed = true;
            keyed_ += s.echo;
            if (serialEcho()) {
                out += s.echo;
            }
            noteStatus(out);
            return true;
        }
        const Time done = s.start + s.keying.length;
        if (done > now) {
            return false;
        }
        readyAt_ = done;
        sending_.reset();
    }
    if (readyAt_ > now || !startNext(readyAt_)) {
        return false;
    }
    noteStatus(out);
    return true;
}

std::string SimKeyer::advance(Time now) {
    std::string out;
    while (step(now, out)) {
    }
    return out;
}

// The next edge, echo or end of the item being keyed.
std::optional<Time> SimKeyer::sendingDue() const {
    if (!sending_) {
        return std::nullopt;
    }
    const Sending& s = *sending_;
    const auto& marks = s.keying.marks;
    if (s.edgesDone < 2 * marks.size()) {
        const auto& mark = marks[s.edgesDone / 2];
        return s.start + (s.edgesDone % 2 == 0 ? mark.first : mark.second);
    }
    return s.start + (s.echoed ? s.keying.length : s.keying.keyEnd);
}

std::optional<Time> SimKeyer::nextDue() const {
    std::optional<Time> due = sendingDue();
    if (!due && !buffer_.empty() && !tuneDown_) {
        due = readyAt_;
    }
    if (tuneDown_) {
        due = std::min(due.value_or(tuneUntil_), tuneUntil_);
    }
    return due;
}

void SimKeyer::setMark(bool down, Time at) {
    markDown_ = down;
    setTune(tuneDown_, at);
}

// The key is down while a mark sounds or tune holds it.
void SimKeyer::setTune(bool down, Time at) {
    if (down && !tuneDown_) {
        tuneUntil_ = at + kTuneWatchdog;
    }
    tuneDown_ = down;
    const bool key = markDown_ || tuneDown_;
    if (key != keyDown_) {
        keyDown_ = key;
        edges_.push_back({at, key});
    }
}

void SimKeyer::noteStatus(std::string& out) {
    const std::uint8_t now = status();
    if (hostOpen_ && now != reportedStatus_) {
        out += static_cast<char>(now);
        reportedStatus_ = now;
    }
}

}  // namespace sim
