#include "tone/keyer_mirror.h"

#include <algorithm>
#include <cmath>

#include "tone/morse.h"

namespace tone {
namespace {

using Kind = keyer::StreamEvent::Kind;

TimePoint after(double seconds) {
    return TimePoint(std::llround(seconds * 1e9));
}

constexpr double kWordSpaceUnits = 4;  // a blank adds 4 spacing units to the 3 of a letter gap
constexpr double kHalfSpaceUnits = 0.5;

}  // namespace

KeyerMirror::KeyerMirror(int wpm) : speed_(keyerSpeed(wpm)) {}

void KeyerMirror::receive(std::span<const keyer::StreamEvent> events, TimePoint arrival) {
    lastArrival_ = std::max(lastArrival_, arrival);
    for (const keyer::StreamEvent& e : events) {
        handle(e, lastArrival_);
    }
}

void KeyerMirror::handle(const keyer::StreamEvent& e, TimePoint arrival) {
    Item item;
    item.arrival = arrival;
    switch (e.kind) {
        case Kind::Text:
            if (e.a == ' ' || e.a == '|') {
                item.kind = Item::Kind::Silence;
            } else if (!patternFor(e.a)) {
                return;  // the keyer ignores what it cannot key
            }
            item.text = std::string(1, static_cast<char>(e.a));
            add(std::move(item));
            return;
        case Kind::Merge:
            if (!patternFor(e.a) && !patternFor(e.b)) {
                return;
            }
            item.text = {static_cast<char>(e.a), static_cast<char>(e.b)};
            add(std::move(item));
            return;
        case Kind::BufferedSpeed:
            item.kind = Item::Kind::BufferedSpeed;
            item.value = keyerSpeed(e.a);
            add(std::move(item));
            return;
        case Kind::CancelBufferedSpeed:
            item.kind = Item::Kind::CancelSpeed;
            add(std::move(item));
            return;
        case Kind::Wait:
        case Kind::KeyDown:
            item.kind = e.kind == Kind::Wait ? Item::Kind::Silence : Item::Kind::KeyDown;
            item.seconds = e.a;
            add(std::move(item));
            return;
        case Kind::Backspace:
            if (!items_.empty() && !items_.back().text.empty() && items_.back().start > arrival) {
                if (items_.back().handed) {
                    out_.push_back(
                        {SidetoneCommand::Kind::CutFrom, {.start = items_.back().start}});
                }
                items_.pop_back();
            }
            return;
        case Kind::Tune:
            tune(e.a != 0, arrival);
            return;
        case Kind::Clear:
            clear(arrival);
            return;
        case Kind::Reset:
            clear(arrival);
            settings_ = {};
            return;
        case Kind::Speed:
            if (e.a == 0) {
                return;  // the speed pot, which the monitor cannot see: the speed stays
            }
            speed_ = keyerSpeed(e.a);
            break;
        case Kind::Weighting:
            settings_.weighting = e.a;
            break;
        case Kind::Ratio:
            settings_.ratio = e.a;
            break;
        case Kind::Farnsworth:
            settings_.farnsworth = e.a;
            break;
        case Kind::KeyCompensation:
            settings_.compensationMs = e.a;
            break;
        case Kind::FirstExtension:
            settings_.firstExtensionMs = e.a;
            break;
    }
    replanFrom(arrival);  // a setting that acts at once: what starts from now on follows it
}

void KeyerMirror::add(Item item) {
    item.bufferedBefore = bufferedAtEnd_;
    if (item.kind == Item::Kind::BufferedSpeed) {
        bufferedAtEnd_ = item.value;
    } else if (item.kind == Item::Kind::CancelSpeed) {
        bufferedAtEnd_.reset();
    }
    plan(item, items_.empty() ? nullptr : &items_.back(), lastMarkEnd(items_.size()));
    items_.push_back(std::move(item));
}

int KeyerMirror::wpmInEffect(const std::optional<int>& buffered) const {
    return buffered.value_or(speed_);
}

// Places one item after the one before it: it starts when it has arrived, the keyer is done
// with what came before, and tune has let the key up. It starts rested when the keyer had
// nothing to key before it (commands that take no time do not count).
void KeyerMirror::plan(Item& item, const Item* previous, TimePoint previousMarkEnd) {
    item.marks.clear();
    const TimePoint previousEnd =
        previous != nullptr ? std::max(previous->end, idleEnd_) : idleEnd_;
    item.start = std::max({item.arrival, previousEnd, keyFreeAt_});
    const bool previousRested =
        previous != nullptr && previous->rested && previous->start == previous->end;
    const bool rested = (item.start > previousEnd && item.start > keyFreeAt_) ||
                        (previousRested && item.start == previousEnd);
    item.rested = rested;
    const Timing timing = timingAt(wpmInEffect(item.bufferedBefore), settings_);
    const double extension = rested ? settings_.firstExtensionMs / 1000.0 : 0;

    Sign sign;
    switch (item.kind) {
        case Item::Kind::Sign: {
            const auto a = patternFor(static_cast<unsigned char>(item.text[0]));
            const auto b = item.text.size() > 1
                               ? patternFor(static_cast<unsigned char>(item.text[1]))
                               : std::nullopt;
            sign = keySign({a.value_or(""), b.value_or("")}, timing, extension);
            break;
        }
        case Item::Kind::Silence:
            sign.duration = item.text == " "   ? kWordSpaceUnits * timing.spacing
                            : item.text == "|" ? kHalfSpaceUnits * timing.spacing
                                               : item.seconds;
            break;
        case Item::Kind::KeyDown:
            if (item.seconds > 0) {
                sign.marks.push_back({0, item.seconds + extension});
                sign.duration = item.seconds + extension;
            }
            break;
        case Item::Kind::BufferedSpeed:
        case Item::Kind::CancelSpeed:
            break;
    }
    item.end = item.start + after(sign.duration);
    TimePoint markEnd = previousMarkEnd;
    for (std::size_t i = 0; i < sign.marks.size(); ++i) {
        KeyMark m;
        m.start = item.start + after(sign.marks[i].start);
        m.end = m.start + after(sign.marks[i].length);
        m.keyedGap = markEnd == TimePoint::min() ? TimePoint{} : m.start - markEnd;
        m.afterRest = i == 0 && rested;
        m.letterGap = after(timing.letterGap());
        m.startsCharacter = i == 0;
        item.marks.push_back(m);
        markEnd = m.end;
    }
}

// Plans again what has not been handed over and starts at `from` or later.
void KeyerMirror::replanFrom(TimePoint from) {
    std::size_t k = 0;
    while (k < items_.size() && (items_[k].handed || items_[k].start < from)) {
        ++k;
    }
    for (std::size_t i = k; i < items_.size(); ++i) {
        plan(items_[i], i > 0 ? &items_[i - 1] : nullptr, lastMarkEnd(i));
    }
}

void KeyerMirror::clear(TimePoint at) {
    bool cut = false;
    while (!items_.empty() && items_.back().start >= at) {
        items_.pop_back();
        cut = true;
    }
    if (!items_.empty() && items_.back().end > at) {
        Item& sounding = items_.back();
        std::erase_if(sounding.marks, [at](const KeyMark& m) { return m.start >= at; });
        for (KeyMark& m : sounding.marks) {
            m.end = std::min(m.end, at);
        }
        sounding.end = at;
        cut = true;
    }
    if (cut) {
        idleEnd_ = std::max(idleEnd_, at);  // the keyer was busy: what comes next has not rested
    }
    bufferedAtEnd_.reset();
    if (tuneDown(at)) {  // tune ends: the key comes up now
        cut = true;
        keyFreeAt_ = at;
    }
    tuneUntil_.reset();
    for (KeyMark& m : freeMarks_) {
        m.end = std::min(m.end, at);
    }
    std::erase_if(freeMarks_, [](const KeyMark& m) { return m.end <= m.start; });
    tuneHanded_.reset();
    if (cut) {
        out_.push_back({SidetoneCommand::Kind::CutFrom, {.start = at}});
    }
}

void KeyerMirror::stop(TimePoint at) {
    clear(at);
}

// Tune holds the key down from `at` until it is let up, a clear comes, or the keyer's watchdog
// lets it up kTuneLimit later; what is queued waits until then.
void KeyerMirror::tune(bool down, TimePoint at) {
    if (down == tuneDown(at)) {
        return;
    }
    if (down) {
        KeyMark m;
        m.start = at;
        m.end = at + kTuneLimit;
        m.inSequence = false;
        freeMarks_.push_back(m);
        tuneUntil_ = keyFreeAt_ = m.end;
    } else {
        keyFreeAt_ = at;
        tuneUntil_.reset();
        for (KeyMark& m : freeMarks_) {
            m.end = std::min(m.end, at);
        }
        std::erase_if(freeMarks_, [](const KeyMark& m) { return m.end <= m.start; });
        if (tuneHanded_) {
            out_.push_back({SidetoneCommand::Kind::EndMark, {.id = *tuneHanded_, .end = at}});
            tuneHanded_.reset();
        }
    }
    replanFrom(at);
}

void KeyerMirror::replaceWith(std::string_view text, TimePoint now, TimePoint arrival) {
    std::optional<TimePoint> cutFrom;
    while (!items_.empty() && items_.back().start > now) {
        if (items_.back().handed) {
            cutFrom = items_.back().start;
        }
        bufferedAtEnd_ = items_.back().bufferedBefore;
        items_.pop_back();
    }
    if (cutFrom) {
        out_.push_back({SidetoneCommand::Kind::CutFrom, {.start = *cutFrom}});
    }
    lastArrival_ = std::max(lastArrival_, arrival);
    for (char c : text) {
        handle({keyer::StreamEvent::Kind::Text, static_cast<std::uint8_t>(c)}, lastArrival_);
    }
}

void KeyerMirror::commitUntil(TimePoint horizon) {
    committed_ = std::max(committed_, horizon);
    for (Item& item : items_) {
        if (item.start >= committed_) {
            break;
        }
        if (item.handed) {
            continue;
        }
        item.handed = true;
        for (KeyMark& m : item.marks) {
            m.id = nextId_++;
            out_.push_back({SidetoneCommand::Kind::Mark, m});
        }
    }
    for (auto it = freeMarks_.begin(); it != freeMarks_.end();) {
        if (it->start >= committed_) {
            ++it;
            continue;
        }
        it->id = nextId_++;
        out_.push_back({SidetoneCommand::Kind::Mark, *it});
        if (tuneUntil_ && it->end == *tuneUntil_) {
            tuneHanded_ = it->id;  // still down: a key-up or a clear may end it earlier
        }
        it = freeMarks_.erase(it);
    }
}

std::vector<SidetoneCommand> KeyerMirror::takeCommands() {
    std::vector<SidetoneCommand> out;
    out.swap(out_);
    return out;
}

std::optional<TimePoint> KeyerMirror::nextStart() const {
    std::optional<TimePoint> next;
    for (const Item& item : items_) {
        if (!item.handed) {
            next = item.start;
            break;
        }
    }
    for (const KeyMark& m : freeMarks_) {
        next = std::min(next.value_or(kNever), m.start);
    }
    return next;
}

void KeyerMirror::forget(TimePoint now) {
    while (!items_.empty() && items_.front().handed && items_.front().end <= now) {
        const Item& done = items_.front();
        idleEnd_ = std::max(idleEnd_, done.end);
        if (!done.marks.empty()) {
            idleMarkEnd_ = done.marks.back().end;
        }
        items_.pop_front();
    }
}

// The end of everything planned so far. After a clear that cut the keying short, that is the
// moment of the clear, though an item from before it may have ended earlier.
TimePoint KeyerMirror::lastEnd() const {
    return items_.empty() ? idleEnd_ : std::max(items_.back().end, idleEnd_);
}

TimePoint KeyerMirror::lastMarkEnd(std::size_t before) const {
    for (std::size_t i = before; i > 0; --i) {
        if (!items_[i - 1].marks.empty()) {
            return items_[i - 1].marks.back().end;
        }
    }
    return idleMarkEnd_;
}

std::string KeyerMirror::pendingText(TimePoint now) const {
    std::string text;
    for (const Item& item : items_) {
        if (item.start > now) {
            text += item.text;
        }
    }
    return text;
}

bool KeyerMirror::busy(TimePoint now) const {
    return lastEnd() > now || tuneDown(now) || !freeMarks_.empty();
}

bool KeyerMirror::betweenWords(TimePoint now) const {
    if (!busy(now)) {
        return true;
    }
    if (items_.empty() || tuneDown(now)) {
        return false;
    }
    const Item& last = items_.back();
    return last.kind == Item::Kind::Silence && last.text != "|";
}

}  // namespace tone
