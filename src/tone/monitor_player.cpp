#include "tone/monitor_player.h"

namespace tone {

MonitorPlayer::MonitorPlayer(MonitorControls controls, QObject* parent)
    : QObject(parent), controls_(std::move(controls)) {}

void MonitorPlayer::SetSound(int, int) {}

QStringList MonitorPlayer::deviceDescriptions() const {
    return {};
}

}  // namespace tone
