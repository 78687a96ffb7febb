#include "platform/audio_priority.h"

#include <QThread>

#include <algorithm>

#if defined(Q_OS_LINUX)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// Above the ordinary threads of every program, well below the kernel's own (interrupt threads
// sit at 50).
constexpr int kRealTimePriority = 10;
// As far as nice goes for an audio thread without real time (what sound servers ask for).
constexpr int kBestNice = -11;

}  // namespace

QString raiseToAudioPriority() {
#if defined(Q_OS_LINUX)
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    rlimit rt{};
    if (getrlimit(RLIMIT_RTPRIO, &rt) == 0 && rt.rlim_cur != RLIM_INFINITY &&
        rt.rlim_cur < static_cast<rlim_t>(kRealTimePriority) && rt.rlim_cur > 0) {
        param.sched_priority = static_cast<int>(rt.rlim_cur);
    }
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0) {
        return QStringLiteral("real-time (FIFO %1)").arg(param.sched_priority);
    }
    // Nice is per thread on Linux: the thread's own id. The limit allows down to 20 - rlim_cur.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    rlimit nice{};
    int lowest = 0;
    if (getrlimit(RLIMIT_NICE, &nice) == 0) {
        lowest = nice.rlim_cur == RLIM_INFINITY ? -20 : 20 - static_cast<int>(nice.rlim_cur);
    }
    const int wanted = std::max(kBestNice, lowest);
    if (wanted < 0 && setpriority(PRIO_PROCESS, tid, wanted) == 0) {
        return QStringLiteral("nice %1").arg(wanted);
    }
    return QStringLiteral("normal");
#else
    QThread::currentThread()->setPriority(QThread::TimeCriticalPriority);
    return QStringLiteral("time-critical");
#endif
}

}  // namespace platform
