#pragma once

#include <cstdint>
#include <optional>

#include "platform/audio_stream.h"
#include "tone/sidetone_contract.h"

// How the sound output is run: the buffer it asks for, when it rests, how often it is filled.
// Pure: the audio adapter carries out what it says. Runs on the audio thread.
namespace tone {

class OutputPolicy {
  public:
    // A stream that has been silent this long rests (suspended; an idle monitor costs nothing)
    // until the next hand-over wakes it: long enough that typed or paced characters find it
    // playing, since a resumed stream stands still for a while and reports poorly at first.
    // Silence counts in frames played and, for a device that stands still and plays none, on
    // the clock.
    static constexpr double kRestAfterSeconds = 2.0;
    // Fills come kRefillMs apart, give or take kRefillSpreadMs at random: readings taken in step
    // with the device's own updates would all lag alike, for seconds. Until a started or resumed
    // stream is seen to play, every kRefillStartingMs: the first reading that moved anchors the
    // timeline, so it must be fresh (a device that stands still rests after its silence like any
    // stream).
    static constexpr int kRefillMs = 10;
    static constexpr int kRefillSpreadMs = 4;
    static constexpr int kRefillStartingMs = 1;
    // The buffer, in seconds of sound the device holds: the latency's (see the latency plan),
    // but at least the floor, which starts at kFloorSeconds; after trouble (the device ran dry,
    // its queue fell below kCloseCallShare of the buffer, or a fill came later than
    // kLateFillShare of the buffer) the floor grows by kGrowth, up to kMostSeconds, and after
    // kCalmSeconds without trouble it comes down a step. A new buffer is taken when the stream
    // rests (nothing sounds then, and nothing is lost).
    static constexpr double kFloorSeconds = 0.080;
    static constexpr double kMostSeconds = 0.300;
    static constexpr double kGrowth = 1.5;
    static constexpr double kCloseCallShare = 0.1;
    static constexpr double kLateFillShare = 0.5;
    static constexpr double kCalmSeconds = 600;
    // A device may grant another buffer than the one asked for: the next ask is scaled by how far
    // off it was, when that was more than kGrantTolerance of it, asking at most kMostAskShare
    // times the buffer wanted.
    static constexpr double kGrantTolerance = 0.1;
    static constexpr double kMostAskShare = 4;

    // The buffer the latency leaves room for (see the latency plan), in seconds.
    void setLatencyBuffer(double seconds) { latencyBuffer_ = seconds; }
    // The buffer wanted now, as granted.
    double wantedSeconds() const;
    // What to ask the device for when a stream opens.
    double askSeconds() const;

    // A stream opened at `frameRate` with `grantedFrames` of buffer, `askSeconds()` asked.
    void started(int frameRate, std::int64_t grantedFrames);
    // The stream resumed after a rest.
    void resumed();
    // The device ran out of sound while playing.
    void ranDry();

    // After a fill of `frames` at `position`: what the output does next. `quiet` says that
    // nothing is keyed or waiting to be, `moving` that the stream has been seen to play since
    // it started or resumed.
    platform::OutputStep next(const platform::StreamPosition& position, std::size_t frames,
                              bool quiet, bool moving);

    std::int64_t underruns() const { return underruns_; }
    double grantedSeconds() const { return static_cast<double>(granted_) / rate_; }

  private:
    void trouble();
    int refillInterval();

    double latencyBuffer_ = 0;
    double floor_ = kFloorSeconds;
    double asked_ = 0;       // asked for the stream playing; 0 before the first
    double grantShare_ = 1;  // what it was granted, as a share of that
    double rate_ = 48000;
    std::int64_t granted_ = 0;
    std::int64_t rendered_ = 0;            // frames rendered on this stream
    std::int64_t quietFrom_ = 0;           // the frame from which nothing has been keyed
    std::int64_t calmFrames_ = 0;          // frames rendered since the last trouble or step down
    bool troubled_ = false;                // trouble seen since the floor last grew
    std::optional<TimePoint> lastFill_;    // on this stream, since it last started or resumed
    std::optional<TimePoint> quietSince_;  // when the present silence began, on this stream
    std::int64_t underruns_ = 0;
    std::uint32_t scatter_ = 1;  // a small generator of the refill intervals
};

}  // namespace tone
