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

}  // namespace

Monitor::Monitor(MonitorInputs inputs, Player play)
    : inputs_(std::move(inputs)), play_(std::move(play)) {}

void Monitor::tick(TimePoint now) {
    if (sendingBusy_) {
        if (now >= characterEnd_) {
            continueRun(now);
        }
        return;
    }
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
    continueRun(now);
}

// Takes characters until one is still sounding at `now`, or the queue is empty, which ends
// the run. Codes that sound nothing take no time, so several may go in one call.
void Monitor::continueRun(TimePoint now) {
    while (!monitorQueue_.empty()) {
        const std::string code = takeCode();
        if (!(numbers::leadingNumber(code) > kHighestSilentCode)) {
            continue;
        }
        const std::optional<CharacterSchedule> schedule =
            scheduleCharacter(sendwave(code), inputs_.speed());
        if (!schedule) {
            continue;  // a speed that cannot time it: skipped like a control code
        }
        play_({run_, runStart_, offset_, *schedule, inputs_.volume()});
        offset_ += schedule->duration;
        characterEnd_ = afterSeconds(runStart_, offset_);
        if (characterEnd_ > now) {
            return;
        }
    }
    sendingBusy_ = false;
    latencyTicks_ = 0;
}

std::string Monitor::takeCode() {
    std::string code = monitorQueue_.substr(0, 2);
    monitorQueue_ = monitorQueue_.size() > 2 ? monitorQueue_.substr(2, kQueueKeep) : std::string();
    return code;
}

}  // namespace tone
