#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/audio_stream.h"

// A sound device on a clocked timeline, for driving a SampleSource as the audio adapter does,
// without a device or a thread: it fills when the source says, rests and reopens when it says,
// and plays what was written in real time. What it plays is kept on the monotonic clock, one
// slot per frame, so a test reads every key edge at the moment it was heard.
//
// Like the devices measured here, it may report what it has played only in steps, keep a
// running count of its own, stand still for a while after it starts or resumes, grant another
// buffer than the one asked for, run its clock a little fast or slow, and run dry when its
// thread stalls.
class FakeDevice {
  public:
    struct Setup {
        int rate = 48000;
        double stepMs = 0;             // reports what it played in steps this long (0: exactly)
        bool ownCount = false;         // keeps a running count of what it played
        double stillAfterStartMs = 0;  // stands still this long after it starts or resumes
        double ppm = 0;                // its clock against the monotonic clock
        // What it grants for a buffer asked, in seconds.
        std::function<double(double)> grant = [](double asked) { return asked; };
    };

    FakeDevice(platform::SampleSource& source, Setup setup) : source_(source), setup_(setup) {}

    // Opens the first stream, now.
    void start() { open(); }

    // The audio thread is held up over [fromMs, toMs): no fill runs then, the device plays on.
    void stall(double fromMs, double toMs) { stalls_.emplace_back(fromMs, toMs); }

    // Runs until `ms` on the monotonic clock.
    void runUntil(double ms) {
        const auto until = static_cast<std::int64_t>(std::llround(ms * setup_.rate / 1000));
        while (tick_ < until) {
            step();
        }
    }
    // Something new for the source: a resting stream plays again, a playing one is filled now.
    void wake() {
        if (resting_) {
            resting_ = false;
            source_.streamResumed();
            playsFrom_ = tick_ + frames(setup_.stillAfterStartMs);
        }
        fillAt_ = tick_;
    }

    double nowMs() const { return 1000.0 * static_cast<double>(tick_) / setup_.rate; }
    // What was heard, one slot per frame of the monotonic clock from 0.
    const std::vector<std::int16_t>& heard() const { return heard_; }
    int streamsOpened() const { return streams_; }
    std::int64_t bufferFrames() const { return buffer_; }
    bool resting() const { return resting_; }
    int underruns() const { return underruns_; }
    // The intervals between fills while the stream played, in ms.
    const std::vector<double>& fillGaps() const { return fillGaps_; }

  private:
    std::int64_t frames(double ms) const {
        return static_cast<std::int64_t>(std::llround(ms * setup_.rate / 1000));
    }
    bool stalled() const {
        const double now = nowMs();
        return std::any_of(stalls_.begin(), stalls_.end(),
                           [now](const auto& s) { return now >= s.first && now < s.second; });
    }
    void open() {
        const double asked = source_.bufferSeconds();
        buffer_ = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::llround(setup_.grant(asked) * setup_.rate)));
        written_.clear();
        played_ = 0;
        dry_ = false;
        resting_ = false;
        ++streams_;
        source_.startStream(setup_.rate, buffer_);
        playsFrom_ = tick_ + 1 + frames(setup_.stillAfterStartMs);  // once it has been filled
        fillAt_ = tick_;
        lastFill_ = -1;
    }
    void fill() {
        const auto written = static_cast<std::int64_t>(written_.size());
        const std::int64_t reported =
            setup_.stepMs > 0 ? played_ / frames(setup_.stepMs) * frames(setup_.stepMs) : played_;
        platform::StreamPosition p;
        p.now = std::chrono::nanoseconds(tick_ * 1'000'000'000 / setup_.rate);
        p.framesWritten = written;
        p.framesQueued = written - reported;
        p.framesPlayed = setup_.ownCount ? played_ : -1;
        std::vector<std::int16_t> room(
            static_cast<std::size_t>(std::max<std::int64_t>(buffer_ - p.framesQueued, 0)));
        const platform::OutputStep s = source_.fill(room, p);
        written_.insert(written_.end(), room.begin(),
                        room.begin() + static_cast<std::ptrdiff_t>(s.frames));
        if (lastFill_ >= 0 && !dry_) {
            fillGaps_.push_back(1000.0 * static_cast<double>(tick_ - lastFill_) / setup_.rate);
        }
        lastFill_ = tick_;
        switch (s.then) {
            case platform::OutputStep::Then::Refill:
                fillAt_ = tick_ + std::max<std::int64_t>(frames(s.refillInMs), 1);
                break;
            case platform::OutputStep::Then::Rest:
                resting_ = true;
                fillAt_ = -1;
                lastFill_ = -1;
                break;
            case platform::OutputStep::Then::Reopen:
                open();
                break;
        }
    }
    void step() {
        if (fillAt_ >= 0 && tick_ >= fillAt_ && !stalled()) {
            fill();
        }
        heard_.push_back(0);
        if (resting_ || tick_ < playsFrom_) {
            ++tick_;
            return;
        }
        // The device's clock: frames due by now. A slot with no frame of its own (a slow clock)
        // holds the one before, as a sound card's converter would.
        clock_ += 1 + setup_.ppm * 1e-6;
        if (clock_ < 1 && heard_.size() > 1 && !dry_) {
            heard_.back() = heard_[heard_.size() - 2];
        }
        const auto have = static_cast<std::int64_t>(written_.size());
        if (dry_ && have - played_ >= buffer_) {
            dry_ = false;  // plays again once its buffer is full
        }
        while (clock_ >= 1) {
            clock_ -= 1;
            if (dry_) {
                continue;
            }
            if (played_ < have) {
                heard_.back() = written_[static_cast<std::size_t>(played_++)];
            } else {
                dry_ = true;
                ++underruns_;
                source_.ranDry();
            }
        }
        ++tick_;
    }

    platform::SampleSource& source_;
    Setup setup_;
    std::vector<std::pair<double, double>> stalls_;
    std::vector<std::int16_t> heard_;
    std::vector<std::int16_t> written_;  // the stream open now
    std::int64_t tick_ = 0;
    std::int64_t played_ = 0;
    std::int64_t buffer_ = 0;
    std::int64_t playsFrom_ = 0;
    std::int64_t fillAt_ = 0;
    std::int64_t lastFill_ = -1;
    double clock_ = 0;
    bool resting_ = false;
    bool dry_ = false;
    int streams_ = 0;
    int underruns_ = 0;
    std::vector<double> fillGaps_;
};
