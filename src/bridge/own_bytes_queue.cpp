#include "bridge/own_bytes_queue.h"

#include <algorithm>

namespace bridge {

std::vector<Piece> OwnBytesQueue::own(std::string bytes, Origin origin) {
    std::vector<Piece> out;
    if (bytes.empty()) {
        return out;
    }
    if (accepted_.atBoundary()) {
        accept({std::move(bytes), origin}, out);
        return out;
    }
    if (origin == Origin::Command) {
        const auto older = std::find_if(waiting_.begin(), waiting_.end(),
                                        [](const Piece& p) { return p.origin == Origin::Command; });
        if (older != waiting_.end()) {
            older->bytes = std::move(bytes);
            return out;
        }
    }
    waiting_.push_back({std::move(bytes), origin});
    return out;
}

std::vector<Piece> OwnBytesQueue::chunk(std::string_view bytes) {
    std::vector<Piece> out;
    if (bytes.empty()) {
        return out;
    }
    // Where the command under way ends: the chunk is cut there when something waits.
    std::size_t cut = bytes.size();
    if (!waiting_.empty()) {
        keyer::StreamReader ahead = accepted_;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            ahead.read(bytes.substr(i, 1));
            if (ahead.atBoundary()) {
                cut = i + 1;
                break;
            }
        }
    }
    accept({std::string(bytes.substr(0, cut)), Origin::Logger}, out);
    if (accepted_.atBoundary()) {
        for (Piece& piece : waiting_) {
            accept(std::move(piece), out);
        }
        waiting_.clear();
    }
    if (cut < bytes.size()) {
        accept({std::string(bytes.substr(cut)), Origin::Logger}, out);
    }
    return out;
}

void OwnBytesQueue::restart(std::string_view pending) {
    accepted_ = {};
    accepted_.read(pending);
    waiting_.clear();
}

void OwnBytesQueue::accept(Piece piece, std::vector<Piece>& out) {
    accepted_.read(piece.bytes);
    out.push_back(std::move(piece));
}

}  // namespace bridge
