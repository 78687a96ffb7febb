#include "tone/monitor.h"

#include <cmath>

#include "platform/number_text.h"
#include "tone/morse.h"

namespace tone {
namespace {

// The queue keeps at most this many characters behind the code it gives up.
constexpr std::size_t kQueueKeep = 1024;
// Codes up to this (control codes, a lone digit) are dropped without a pause.
constexpr double kHighestSilentCode = 29;

TimePoint afterSeconds(TimePoint start, double seconds) {
    return start + std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

bool soundsAlike(const PlayedCharacter& a, const PlayedCharacter& b) {
    return a.schedule == b.schedule && a.volume == b.volume;
}

}  // namespace

Monitor::Monitor(MonitorInputs inputs, Player play, Withdraw withdraw,
                 std::chrono::nanoseconds ahead)
    : inputs_(std::move(inputs)),
      play_(std::move(play)),
      withdraw_(std::move(withdraw)),
      ahead_(ahead) {}

void Monitor::tick(TimePoint now) {
    if (!sendingBusy_) {
        if (monitorQueue_.empty()) {
            return;
        }
        latencyTicks_ += 1;
        if (inputs_.latency() > latencyTicks_) {
            return;
        }
        sendingBusy_ = true;
        ++run_;
        runStart_ = now;
        offset_ = 0;
        characterEnd_ = now;
    }
    if (now >= characterEnd_) {
        continueRun(now);
    }
    if (sendingBusy_ && ahead_.count() > 0 && !aheadLooked_ && now + ahead_ >= characterEnd_) {
        handAhead();
    }
}

std::optional<TimePoint> Monitor::nextTickDue() const {
    if (!sendingBusy_) {
        return std::nullopt;
    }
    if (ahead_.count() > 0 && !aheadLooked_) {
        return characterEnd_ - ahead_;
    }
    return characterEnd_;
}

// The character that the first sounding code of `codes` makes now; nullopt when none sounds.
std::optional<PlayedCharacter> Monitor::nextCharacter(std::string_view codes) const {
    for (std::size_t at = 0; at < codes.size(); at += 2) {
        const std::string code(codes.substr(at, 2));
        if (!(numbers::leadingNumber(code) > kHighestSilentCode)) {
            continue;
        }
        const std::optional<CharacterSchedule> schedule =
            scheduleCharacter(sendwave(code), inputs_.speed());
        if (schedule) {
            return PlayedCharacter{run_, runStart_, offset_, *schedule, inputs_.volume()};
        }
    }
    return std::nullopt;
}

// Hands over the character that comes next as the queue stands now, replacing one handed over
// before from another queue.
void Monitor::handAhead() {
    aheadLooked_ = true;
    std::optional<PlayedCharacter> next = nextCharacter(monitorQueue_);
    if (handedAhead_ && next && soundsAlike(*handedAhead_, *next)) {
        return;
    }
    if (handedAhead_ && withdraw_) {
        withdraw_(run_, offset_);
    }
    handedAhead_ = std::move(next);
    if (handedAhead_) {
        play_(*handedAhead_);
    }
}

// Takes characters until one is still sounding at `now`, or the queue is empty, which ends
// the run. Codes that sound nothing take no time, so several may go in one call.
void Monitor::continueRun(TimePoint now) {
    while (!monitorQueue_.empty()) {
        const std::string code = takeCode();
        const std::optional<PlayedCharacter> taken = nextCharacter(code);
        if (!taken) {
            continue;  // silent, or a speed that cannot time it
        }
        const bool handedAlready = handedAhead_ && soundsAlike(*handedAhead_, *taken);
        if (handedAhead_ && !handedAlready && withdraw_) {
            withdraw_(run_, offset_);
        }
        if (!handedAlready) {
            play_(*taken);
        }
        handedAhead_.reset();
        aheadLooked_ = false;
        offset_ += taken->schedule.duration;
        characterEnd_ = afterSeconds(runStart_, offset_);
        if (characterEnd_ > now) {
            return;
        }
    }
    if (handedAhead_ && withdraw_) {
        withdraw_(run_, offset_);
    }
    handedAhead_.reset();
    aheadLooked_ = false;
    sendingBusy_ = false;
    latencyTicks_ = 0;
}

std::string Monitor::takeCode() {
    std::string code = monitorQueue_.substr(0, 2);
    monitorQueue_ = monitorQueue_.size() > 2 ? monitorQueue_.substr(2, kQueueKeep) : std::string();
    return code;
}

}  // namespace tone
