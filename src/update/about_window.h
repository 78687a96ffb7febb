#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/message_boxes.h"

class QNetworkAccessManager;

namespace update {

class FileDownload;
class HistoryWindow;
class VersionCheck;

// Where the About window gets its update from, and the desktop it works on. The defaults are
// the real ones; tests point it at a local server and a recording desktop.
struct AboutSetup {
    AboutSetup();

    QString versionFile;   // the version file's address
    QString installer;     // the installer's address
    QString downloadPage;  // the page that offers the installer
    QString donationPage;
    // How long a transfer may stay silent before it fails.
    std::chrono::milliseconds transferTimeout{60000};
    // How long the version check may take from the click, and the download from its start.
    std::chrono::milliseconds checkDeadline;
    std::chrono::milliseconds downloadDeadline;
    // Working directories (upper case) from which the update installs itself.
    std::vector<std::string> installDirectories;
    // The desktop; nullptr for the real one.
    platform::Desktop* desktop = nullptr;
};

// The "About" window: the running version, the copyright notice and download page, the check
// for a newer version on the web, the installation of the latest update, the donation page and
// the version history.
class AboutWindow : public QWidget {
    Q_OBJECT

  public:
    AboutWindow(const QString& appVersion, platform::MessageBoxes& messages,
                QWidget* parent = nullptr, AboutSetup setup = AboutSetup());
    ~AboutWindow() override;

    // Checks the web for a published version other than the running one and offers it.
    void DownloadFile(const QString& address);
    // Installs the latest update: downloads the installer into the working directory and
    // starts it, when the program runs from its installation directory.
    void DWN();

    QLabel* Label1;         // the version, the copyright notice and the download page
    QPushButton* Command1;  // "Check latest version on WEB"
    QPushButton* Command2;  // "Close"
    QLineEdit* Text1;       // the status box: the transfer's progress, then the published version
    QPushButton* Command3;  // "Install Latest Update"
    QLabel* Label3;         // "Status /Version"
    QPushButton* Command4;  // "Donate"
    QPushButton* Command5;  // "View History"

  signals:
    // A downloaded installer was started: the program must end at once, without saving.
    void endProgramRequested();
    // A version check has ended, with or without an offer.
    void versionCheckEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    platform::Desktop& desktop() { return *desktop_; }
    void readPublishedVersion(bool bodyArrived);
    void onDownloadFinished(bool written, const QString& errorText);
    void showHistory();

    QString appVersion_;
    platform::MessageBoxes& messages_;
    AboutSetup setup_;
    std::unique_ptr<platform::Desktop> ownDesktop_;
    platform::Desktop* desktop_;
    QNetworkAccessManager* network_;
    VersionCheck* check_;
    FileDownload* download_;
    QPointer<HistoryWindow> history_;
};

}  // namespace update
