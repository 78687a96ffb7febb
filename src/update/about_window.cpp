#include "update/about_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QNetworkAccessManager>

#include "platform/qt_desktop.h"
#include "update/addresses.h"
#include "update/file_download.h"
#include "update/history_window.h"
#include "update/install_rules.h"
#include "update/open_browser.h"
#include "update/transfer_rules.h"
#include "update/twips.h"
#include "update/version_check.h"
#include "update/version_rules.h"
#include "update/window_texts.h"

namespace update {
namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// The status box holds the version file's bytes one character each.
std::string boxBytes(const QString& box) {
    return box.toLatin1().toStdString();
}
QString boxText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

AboutSetup::AboutSetup()
    : versionFile(text(addresses::kVersionFile)),
      installer(text(addresses::kInstaller)),
      downloadPage(text(addresses::kDownloadPage)),
      donationPage(text(addresses::kDonationPage)),
      checkDeadline(kCheckDeadline),
      downloadDeadline(kDownloadDeadline),
      installDirectories{std::string(kStandardInstallDirectory),
                         std::string(kDevelopmentDirectory)} {}

AboutWindow::AboutWindow(const QString& appVersion, platform::MessageBoxes& messages,
                         QWidget* parent, AboutSetup setup)
    : QWidget(parent, Qt::Window),
      Label1(new QLabel(this)),
      Command1(new QPushButton(QStringLiteral("Check latest version on WEB"), this)),
      Command2(new QPushButton(QStringLiteral("Close"), this)),
      Text1(new QLineEdit(this)),
      Command3(new QPushButton(QStringLiteral("Install Latest Update"), this)),
      Label3(new QLabel(QStringLiteral("Status /Version"), this)),
      Command4(new QPushButton(QStringLiteral("Donate"), this)),
      Command5(new QPushButton(QStringLiteral("View History"), this)),
      appVersion_(appVersion),
      messages_(messages),
      setup_(std::move(setup)),
      ownDesktop_(setup_.desktop == nullptr ? std::make_unique<platform::QtDesktop>() : nullptr),
      desktop_(setup_.desktop != nullptr ? setup_.desktop : ownDesktop_.get()),
      network_(new QNetworkAccessManager(this)),
      check_(new VersionCheck(*network_, setup_.transferTimeout, setup_.checkDeadline, this)),
      download_(
          new FileDownload(*network_, setup_.transferTimeout, setup_.downloadDeadline, this)) {
    setObjectName(QStringLiteral("AboutFrm"));
    setWindowTitle(QStringLiteral("About"));
    resize(twips(5070), twips(2880));

    const struct {
        QWidget* control;
        const char* name;
        QRect place;
    } layout[] = {
        {Label1, "Label1", twipsRect(255, 135, 4485, 1170)},
        {Command1, "Command1", twipsRect(210, 1440, 2565, 390)},
        {Command2, "Command2", twipsRect(3960, 2400, 825, 375)},
        {Text1, "Text1", twipsRect(1440, 1920, 3330, 390)},
        {Command3, "Command3", twipsRect(2880, 1440, 1935, 375)},
        {Label3, "Label3", twipsRect(240, 1920, 1215, 375)},
        {Command4, "Command4", twipsRect(3000, 2400, 945, 375)},
        {Command5, "Command5", twipsRect(240, 2400, 2535, 375)},
    };
    QWidget* previous = nullptr;
    for (const auto& entry : layout) {
        entry.control->setObjectName(QString::fromLatin1(entry.name));
        entry.control->setGeometry(entry.place);
        if (entry.control->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr) {
                setTabOrder(previous, entry.control);
            }
            previous = entry.control;
        }
    }
    // What these labels show is never read as markup.
    Label1->setTextFormat(Qt::PlainText);
    Label3->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    connect(Command1, &QPushButton::clicked, this, [this] { DownloadFile(setup_.versionFile); });
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(Command3, &QPushButton::clicked, this, &AboutWindow::DWN);
    connect(Command4, &QPushButton::clicked, this,
            [this] { OpenBrowser(desktop(), setup_.donationPage); });
    connect(Command5, &QPushButton::clicked, this, &AboutWindow::showHistory);

    connect(check_, &VersionCheck::reported, Text1, &QLineEdit::setText);
    connect(check_, &VersionCheck::ended, this, &AboutWindow::readPublishedVersion);
    connect(download_, &FileDownload::progressed, this, [this](qint64 received, qint64 total) {
        Text1->setText(
            text(downloadProgressText(received, total < 0 ? std::nullopt : std::optional(total))));
    });
    connect(download_, &FileDownload::finished, this, &AboutWindow::onDownloadFinished);

    desktop().keepOnTop(*this, true);
    Label1->setText(text(aboutLabelText(appVersion_.toStdString())));
}

AboutWindow::~AboutWindow() {
    if (download_->isRunning()) {
        desktop().setBusy(false);  // the download goes with the window
    }
}

void AboutWindow::closeEvent(QCloseEvent* event) {
    if (history_ != nullptr) {
        history_->close();
    }
    event->accept();
}

void AboutWindow::showHistory() {
    if (history_ == nullptr) {
        history_ = new HistoryWindow(desktop(), this);
        history_->setAttribute(Qt::WA_DeleteOnClose);
    }
    history_->show();
    history_->raise();
}

void AboutWindow::DownloadFile(const QString& address) {
    // A click while a check is under way leaves that check to finish on its own, and says so.
    if (!check_->start(address)) {
        messages_.inform(text(kCheckStillWaiting));
    }
}

void AboutWindow::readPublishedVersion(bool bodyArrived) {
    if (!bodyArrived) {
        emit versionCheckEnded();  // the status box says why there is no version
        return;
    }
    const FirstLine line = firstLineOf(boxBytes(Text1->text()));
    if (boxBytes(Text1->text()) != line.text) {
        Text1->setText(boxText(line.text));
    }
    if (line.usable && offersUpdate(appVersion_.toStdString(), line.text)) {
        messages_.askYesNo(boxText(offerText(line.text)), [self = QPointer(this)](bool yes) {
            if (yes && self != nullptr) {
                self->DWN();
            }
        });
    }
    emit versionCheckEnded();
}

void AboutWindow::DWN() {
    if (download_->isRunning()) {
        return;  // the installer is already on its way
    }
    const QString directory = QDir::toNativeSeparators(QDir::currentPath());
    if (!isInstallDirectory(directory.toStdString(), setup_.installDirectories)) {
        messages_.askYesNo(text(downloadElsewhereText(setup_.downloadPage.toStdString())),
                           [self = QPointer(this)](bool yes) {
                               if (yes && self != nullptr) {
                                   OpenBrowser(self->desktop(), self->setup_.downloadPage);
                               }
                           });
        return;
    }
    desktop().setBusy(true);
    download_->start(setup_.installer, text(addresses::kInstallerFile));
}

void AboutWindow::onDownloadFinished(bool written, const QString& errorText) {
    if (!written) {
        desktop().setBusy(false);
        messages_.warn(QStringLiteral("Download Error"), errorText);
        return;
    }
    QString error;
    const bool started = desktop().startProgram(
        QDir::current().absoluteFilePath(text(addresses::kInstallerFile)), error);
    desktop().setBusy(false);
    if (!started) {
        messages_.inform(error);
        return;
    }
    emit endProgramRequested();
}

}  // namespace update
