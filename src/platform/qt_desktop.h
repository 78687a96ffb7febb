#pragma once

#include "platform/desktop.h"

namespace platform {

// The desktop through Qt: QDesktopServices, window flags, QProcess and the override cursor.
class QtDesktop final : public Desktop {
  public:
    QtDesktop() = default;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;
    ~QtDesktop() override;

    bool openUrl(const QString& address) override;
    void keepOnTop(QWidget& window, bool onTop) override;
    bool startProgram(const QString& path, QString& error) override;
    void setBusy(bool busy) override;

  private:
    bool busy_ = false;  // one override cursor of ours at most, so each is restored once
};

}  // namespace platform
