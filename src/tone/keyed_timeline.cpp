#include "tone/keyed_timeline.h"

#include <algorithm>

namespace tone {
namespace {

double ms(TimePoint t) {
    return toSeconds(t) * 1000;
}

}  // namespace

void KeyedTimeline::apply(const SidetoneCommand& c) {
    switch (c.kind) {
        case SidetoneCommand::Kind::Mark:
            marks_[c.mark.id] = {ms(c.mark.start), ms(c.mark.end)};
            return;
        case SidetoneCommand::Kind::EndMark:
            if (auto it = marks_.find(c.mark.id); it != marks_.end()) {
                it->second.end = std::min(it->second.end, ms(c.mark.end));
            }
            return;
        case SidetoneCommand::Kind::CutFrom: {
            const double cut = ms(c.mark.start);
            for (auto it = marks_.begin(); it != marks_.end();) {
                if (it->second.start >= cut) {
                    it = marks_.erase(it);
                } else {
                    it->second.end = std::min(it->second.end, cut);
                    ++it;
                }
            }
            return;
        }
    }
}

void KeyedTimeline::forget(double nowMs) {
    std::erase_if(marks_,
                  [nowMs](const auto& m) { return m.second.end < nowMs - kKeepSeconds * 1000; });
}

std::vector<KeyedStretch> KeyedTimeline::stretches(double nowMs) const {
    std::vector<KeyedStretch> sorted;
    for (const auto& [id, m] : marks_) {
        if (m.start < nowMs && m.end > m.start) {
            sorted.push_back(m);
        }
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const KeyedStretch& a, const KeyedStretch& b) { return a.start < b.start; });
    std::vector<KeyedStretch> joined;
    for (const KeyedStretch& m : sorted) {
        if (!joined.empty() && m.start <= joined.back().end) {
            joined.back().end = std::max(joined.back().end, m.end);
        } else {
            joined.push_back(m);
        }
    }
    return joined;
}

}  // namespace tone
