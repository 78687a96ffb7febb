#pragma once

#include <QString>

namespace platform {

// Raises the calling thread to the highest scheduling the system grants this process without
// asking for privileges: real-time (SCHED_FIFO) where the real-time limit allows it, otherwise
// the lowest nice value the nice limit allows. Says what it got, for the benchmarks.
QString raiseToAudioPriority();

}  // namespace platform
