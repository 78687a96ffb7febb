#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "keyer/stream_event.h"
#include "tone/keying.h"
#include "tone/sidetone_contract.h"

// The monitor's keyer: it hears the stream the keyer hears and keys it as the keyer does, on the
// keyer's own timeline shifted by the operator's latency. Pure logic: time comes in as values.
namespace tone {

class KeyerMirror {
  public:
    // A tune the keyer is never told to end ends by itself after this long: the keyer's own
    // tune watchdog (see docs/keyer-timing.md).
    static constexpr TimePoint kTuneLimit = std::chrono::seconds(100);

    explicit KeyerMirror(int wpm = 28);

    // The keyer receives `events` at `arrival` (for the monitor: forwarded + latency). Arrivals
    // never go back in time: an earlier one is taken as the latest so far.
    void receive(std::span<const keyer::StreamEvent> events, TimePoint arrival);
    // The keyer stopped at `at` (its port closed): what sounds ends, nothing more is keyed.
    void stop(TimePoint at);
    // What has not started by `now` goes, and `text` arrives at `arrival` instead.
    void replaceWith(std::string_view text, TimePoint now, TimePoint arrival);

    // Hands over everything that starts before `horizon`. What is handed over keeps its timing,
    // except that a clear, a backspace or a replacement still takes it back.
    void commitUntil(TimePoint horizon);
    // The commands for the sidetone since the last call, in order.
    std::vector<SidetoneCommand> takeCommands();
    // When the next thing not yet handed over starts; nullopt when nothing waits.
    std::optional<TimePoint> nextStart() const;
    // Forgets what was handed over and is over by `now`.
    void forget(TimePoint now);

    // The text characters that have not started by `now`, in order.
    std::string pendingText(TimePoint now) const;
    // Whether anything is still to be keyed, or sounding, at `now`.
    bool busy(TimePoint now) const;
    // Whether the keyer is between words at `now`: idle, or all that is planned ends in a word
    // space or a wait.
    bool betweenWords(TimePoint now) const;
    // The immediate speed (the one the keyer returns to without a buffered speed).
    int speed() const { return speed_; }

  private:
    struct Item {
        enum class Kind : std::uint8_t { Sign, Silence, KeyDown, BufferedSpeed, CancelSpeed };
        Kind kind = Kind::Sign;
        std::string text;    // the characters of a sign; ' ' or '|' for spacing
        double seconds = 0;  // a wait or a key-down
        int value = 0;       // a buffered speed
        TimePoint arrival{};
        std::optional<int> bufferedBefore;  // the buffered speed in force when it is reached
        // As planned:
        TimePoint start{};
        TimePoint end{};  // gaps included
        std::vector<KeyMark> marks;
        bool handed = false;  // its marks went to the sidetone: its timing stays
        bool rested = false;  // it started after the key had rested
    };

    void handle(const keyer::StreamEvent& e, TimePoint arrival);
    void add(Item item);
    void plan(Item& item, const Item* previous, TimePoint previousMarkEnd);
    void replanFrom(TimePoint from);
    void clear(TimePoint at);
    void tune(bool down, TimePoint at);
    bool tuneDown(TimePoint at) const { return tuneUntil_ && at < *tuneUntil_; }
    TimePoint lastEnd() const;
    TimePoint lastMarkEnd(std::size_t before) const;
    int wpmInEffect(const std::optional<int>& buffered) const;

    int speed_;
    KeyerSettings settings_;
    std::optional<int> bufferedAtEnd_;  // the buffered speed after the last item
    std::deque<Item> items_;
    TimePoint idleEnd_ = TimePoint::min();      // the end of what went before the items
    TimePoint idleMarkEnd_ = TimePoint::min();  // the end of the last mark before them
    TimePoint keyFreeAt_ = TimePoint::min();    // nothing starts before tune lets the key up
    std::optional<TimePoint> tuneUntil_;        // while tune holds the key: when it comes up
    std::vector<KeyMark> freeMarks_;            // tune, held over the sequence, not handed over
    std::optional<std::uint64_t> tuneHanded_;   // the id of a tune mark handed over, still down
    TimePoint lastArrival_ = TimePoint::min();
    TimePoint committed_ = TimePoint::min();  // everything starting before it is handed over
    std::uint64_t nextId_ = 1;
    std::vector<SidetoneCommand> out_;
};

}  // namespace tone
