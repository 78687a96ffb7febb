#include "tone/delay_estimator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tone {
namespace {

// The share of [from, to) ms that `keyed` holds (sorted, not overlapping).
double keyedShare(std::span<const KeyedStretch> keyed, double from, double to) {
    auto it = std::lower_bound(keyed.begin(), keyed.end(), from,
                               [](const KeyedStretch& s, double t) { return s.end <= t; });
    double on = 0;
    for (; it != keyed.end() && it->start < to; ++it) {
        on += std::min(to, it->end) - std::max(from, it->start);
    }
    return on / (to - from);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The peak of a parabola through three points at -1, 0 and 1: where it lies between them.
double peakBetween(double a, double b, double c) {
    const double d = a - 2 * b + c;
    return d < 0 ? std::clamp(0.5 * (a - c) / d, -0.5, 0.5) : 0;
}

}  // namespace

std::optional<CoarseMatch> CoarseSearch::run(const ToneBank& bank, std::int64_t fromBlock,
                                             std::int64_t toBlock, std::size_t firstBin,
                                             std::size_t lastBin, const CaptureClock& clock,
                                             std::span<const KeyedStretch> keyed) {
    fromBlock = std::max(fromBlock, bank.oldestBlock());
    toBlock = std::min(toBlock, bank.blocks());
    lastBin = std::min(lastBin, bank.bins() == 0 ? 0 : bank.bins() - 1);
    if (toBlock - fromBlock < 50 || bank.bins() == 0 || firstBin > lastBin) {
        return std::nullopt;
    }
    const auto blockFrames = static_cast<double>(bank.blockFrames());
    const double blockMs = blockFrames * 1000 / bank.frameRate();
    const double firstMs = clock.msAt((static_cast<double>(fromBlock) + 0.5) * blockFrames);
    const double lastMs = clock.msAt((static_cast<double>(toBlock) - 0.5) * blockFrames);
    // Enough keying to go by, where the audio could follow it.
    const auto marks = std::count_if(keyed.begin(), keyed.end(), [&](const KeyedStretch& s) {
        return s.end > firstMs - kLongestDelayMs && s.start < lastMs;
    });
    if (marks < kLeastMarks) {
        return std::nullopt;
    }
    // The keying on a grid of blocks, from the longest delay before the first block on.
    const double gridStart = firstMs - kLongestDelayMs - blockMs;
    const auto cells = static_cast<std::size_t>((lastMs - gridStart) / blockMs) + 2;
    std::vector<double> grid(cells);
    for (std::size_t c = 0; c < cells; ++c) {
        const double t = gridStart + static_cast<double>(c) * blockMs;
        grid[c] = keyedShare(keyed, t - blockMs / 2, t + blockMs / 2);
    }
    const auto blocks = static_cast<std::size_t>(toBlock - fromBlock);
    std::vector<std::size_t> cellOf(blocks);
    for (std::size_t j = 0; j < blocks; ++j) {
        const double t = clock.msAt(
            (static_cast<double>(fromBlock) + static_cast<double>(j) + 0.5) * blockFrames);
        cellOf[j] = static_cast<std::size_t>(std::llround((t - gridStart) / blockMs));
    }
    const auto lags = static_cast<std::size_t>(kLongestDelayMs / blockMs);
    const std::size_t bins = lastBin - firstBin + 1;

    // Each bin's level, centred and scaled.
    std::vector<double> level(bins * blocks);
    for (std::size_t k = 0; k < bins; ++k) {
        double mean = 0;
        for (std::size_t j = 0; j < blocks; ++j) {
            mean += bank.amplitude(fromBlock + static_cast<std::int64_t>(j), firstBin + k);
        }
        mean /= static_cast<double>(blocks);
        double norm = 0;
        for (std::size_t j = 0; j < blocks; ++j) {
            const double v =
                bank.amplitude(fromBlock + static_cast<std::int64_t>(j), firstBin + k) - mean;
            level[k * blocks + j] = v;
            norm += v * v;
        }
        norm = norm > 0 ? 1 / std::sqrt(norm) : 0;
        for (std::size_t j = 0; j < blocks; ++j) {
            level[k * blocks + j] *= norm;
        }
    }
    std::vector<double> score(bins * (lags + 1), 0);
    std::vector<double> keying(blocks);
    for (std::size_t lag = 0; lag <= lags; ++lag) {
        double mean = 0;
        for (std::size_t j = 0; j < blocks; ++j) {
            keying[j] = cellOf[j] >= lag ? grid[cellOf[j] - lag] : 0;
            mean += keying[j];
        }
        mean /= static_cast<double>(blocks);
        double norm = 0;
        for (double& v : keying) {
            v -= mean;
            norm += v * v;
        }
        if (norm <= 0) {
            continue;
        }
        norm = 1 / std::sqrt(norm);
        for (std::size_t k = 0; k < bins; ++k) {
            double r = 0;
            const double* l = &level[k * blocks];
            for (std::size_t j = 0; j < blocks; ++j) {
                r += l[j] * keying[j];
            }
            score[k * (lags + 1) + lag] = r * norm;
        }
    }
    // The best: the highest, and of equal ones the shortest delay.
    std::size_t bestBin = 0;
    std::size_t bestLag = 0;
    double best = -std::numeric_limits<double>::infinity();
    for (std::size_t lag = 0; lag <= lags; ++lag) {
        for (std::size_t k = 0; k < bins; ++k) {
            if (score[k * (lags + 1) + lag] > best + 1e-9) {
                best = score[k * (lags + 1) + lag];
                bestBin = k;
                bestLag = lag;
            }
        }
    }
    if (best < kLeastCorrelation) {
        return std::nullopt;
    }
    const auto at = [&](std::size_t k, std::size_t lag) { return score[k * (lags + 1) + lag]; };
    double lagShift = 0;
    if (bestLag > 0 && bestLag < lags) {
        lagShift =
            peakBetween(at(bestBin, bestLag - 1), at(bestBin, bestLag), at(bestBin, bestLag + 1));
    }
    // The pitch: the tone's level while keyed, in the best bin and its neighbours.
    const auto keyedLevel = [&](std::size_t k) {
        double sum = 0;
        for (std::size_t j = 0; j < blocks; ++j) {
            if (cellOf[j] >= bestLag && grid[cellOf[j] - bestLag] > 0.9) {
                sum += bank.amplitude(fromBlock + static_cast<std::int64_t>(j), firstBin + k);
            }
        }
        return std::log(sum + 1e-12);
    };
    double binShift = 0;
    if (bestBin > 0 && bestBin + 1 < bins) {
        binShift =
            peakBetween(keyedLevel(bestBin - 1), keyedLevel(bestBin), keyedLevel(bestBin + 1));
    }
    CoarseMatch m;
    m.delayMs = (static_cast<double>(bestLag) + lagShift) * blockMs;
    m.pitchHz = bank.binHz(static_cast<double>(firstBin + bestBin) + binShift);
    m.correlation = best;
    return m;
}

void DelayTracker::lockAt(double delayMs) {
    locked_ = true;
    coarse_ = delayMs;
    matches_.clear();
}

void DelayTracker::unlock() {
    locked_ = false;
    matches_.clear();
}

double DelayTracker::delayMs() const {
    const auto e = estimate();
    return e ? e->delayMs : coarse_;
}

double DelayTracker::middleMs() const {
    const auto e = estimate();
    if (!e) {
        return coarse_;
    }
    std::vector<double> ups;
    for (const Match& m : matches_) {
        if (!m.down) {
            ups.push_back(m.offset);
        }
    }
    return ups.empty() ? e->delayMs : (e->delayMs + median(ups)) / 2;
}

// Before an estimate the delay so far is the coarse one, the marks' middles: a lengthened mark's
// key-down comes up to half the lengthening before it, its key-up as much after. With an
// estimate it is the key-downs' own, and a key-up comes up to the whole lengthening after it.
void DelayTracker::heard(const HeardEdge& edge, std::span<const KeyedStretch> keyed) {
    if (!locked_) {
        return;
    }
    const bool estimated = estimate().has_value();
    const double want = edge.at - delayMs();
    const double lengthening = estimated ? kLongestLengtheningMs : kLongestLengtheningMs / 2;
    const double earliest = want - kGateMs - (edge.down ? 0 : lengthening);
    const double latest = want + kGateMs + (edge.down && !estimated ? lengthening : 0);
    const KeyedStretch* nearest = nullptr;
    int within = 0;
    for (const KeyedStretch& s : keyed) {
        const double t = edge.down ? s.start : s.end;
        if (t >= earliest && t <= latest) {
            ++within;
            nearest = &s;
        }
    }
    if (nearest == nullptr || within != 1) {
        return;  // nothing the keyer keyed there, or not one thing only
    }
    matches_.push_back({edge.at - (edge.down ? nearest->start : nearest->end), edge.down});
    while (matches_.size() > kKept) {
        matches_.pop_front();
    }
}

// The key-downs' median; each kind's spread about its own median (a radio that lengthens its
// marks moves its key-ups as one).
std::optional<DelayEstimate> DelayTracker::estimate() const {
    std::vector<double> downs;
    std::vector<double> ups;
    for (const Match& m : matches_) {
        (m.down ? downs : ups).push_back(m.offset);
    }
    if (matches_.size() < kLeast || downs.size() < kLeastDowns) {
        return std::nullopt;
    }
    const double downMedian = median(downs);
    const double upMedian = median(ups);
    std::vector<double> deviations;
    for (const Match& m : matches_) {
        deviations.push_back(std::abs(m.offset - (m.down ? downMedian : upMedian)));
    }
    const double spread = median(deviations);
    if (spread > kMostSpreadMs) {
        return std::nullopt;
    }
    DelayEstimate e;
    e.delayMs = downMedian;
    e.plusMinusMs = 1.4826 * spread / std::sqrt(static_cast<double>(downs.size()));
    e.edges = matches_.size();
    return e;
}

}  // namespace tone
