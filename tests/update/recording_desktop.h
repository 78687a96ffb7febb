#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

#include "platform/desktop.h"

// Records what the windows ask of the desktop instead of doing it.
class RecordingDesktop final : public platform::Desktop {
  public:
    bool openUrl(const QString& address) override {
        opened << address;
        return browserAccepts;
    }
    void keepOnTop(QWidget& window, bool onTop) override {
        if (onTop) {
            onTopWindows << window.objectName();
        }
    }
    bool startProgram(const QString& path, QString& error) override {
        started << path;
        error = QStringLiteral("cannot start");
        return startSucceeds;
    }
    void setBusy(bool busy) override { busySteps.push_back(busy); }

    QStringList opened;
    QStringList onTopWindows;
    QStringList started;
    std::vector<bool> busySteps;
    bool browserAccepts = true;
    bool startSucceeds = true;
};
