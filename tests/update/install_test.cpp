#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"
#include "update/about_window.h"
#include "update/file_download.h"
#include "update/http_test_server.h"
#include "update/recording_desktop.h"

namespace {

using namespace std::chrono_literals;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// "Install Latest Update" run from an accepted installation directory (a temporary one here).
class InstallTest : public testing::Test {
  protected:
    void SetUp() override {
        update::AboutSetup setup;
        setup.installer = server.url(QStringLiteral("/vantrelsetup.exe"));
        setup.desktop = &desktop;
        setup.installDirectories = {
            QDir::toNativeSeparators(QDir::currentPath()).toUpper().toStdString()};
        window =
            std::make_unique<update::AboutWindow>(QStringLiteral("1.64"), messages, nullptr, setup);
    }
    void TearDown() override { window.reset(); }

    // Clicks "Install Latest Update" and waits until the download has run its course.
    void install() {
        window->Command3->click();
        EXPECT_EQ(desktop.busySteps, std::vector<bool>{true});
        ASSERT_TRUE(
            QSignalSpy(window->findChild<update::FileDownload*>(), &update::FileDownload::finished)
                .wait(5000));
    }

    QString installer() const { return directory_.filePath(QStringLiteral("vantrelsetup.exe")); }

    HttpTestServer server;
    RecordingMessageBoxes messages;
    RecordingDesktop desktop;
    std::unique_ptr<update::AboutWindow> window;

  private:
    WorkingFolder directory_;
};

TEST_F(InstallTest, SavesTheExactBytesStartsThemAndEndsTheProgram) {
    QByteArray body;
    for (int i = 0; i < 3 * 256; ++i) {
        body += static_cast<char>(i);
    }
    server.respond(200, body);
    QSignalSpy end(window.get(), &update::AboutWindow::endProgramRequested);
    install();
    EXPECT_EQ(readFile(installer()), body);
    EXPECT_EQ(desktop.started, QStringList{QDir::current().absoluteFilePath("vantrelsetup.exe")});
    EXPECT_EQ(window->Text1->text(), "Downloading: 768 of 768 bytes");
    EXPECT_EQ(end.count(), 1);
    EXPECT_EQ(desktop.busySteps, (std::vector<bool>{true, false}));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"vantrelsetup.exe"});
}

TEST_F(InstallTest, ErrorPageIsNeitherSavedNorStartedAndAnOldFileStays) {
    {
        QFile old(installer());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old installer");
    }
    server.respond(404, "<html>Not Found</html>", "Not Found");
    QSignalSpy end(window.get(), &update::AboutWindow::endProgramRequested);
    install();
    EXPECT_EQ(readFile(installer()), "old installer");
    EXPECT_TRUE(desktop.started.isEmpty());
    EXPECT_EQ(end.count(), 0);
    EXPECT_EQ(desktop.busySteps, (std::vector<bool>{true, false}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Download Error");
    EXPECT_TRUE(messages.shown[0].text.startsWith("Error 404 downloading file '" +
                                                  server.url("/vantrelsetup.exe") +
                                                  "' to 'vantrelsetup.exe'.\r\n"))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"vantrelsetup.exe"});
}

TEST_F(InstallTest, InstallerThatWillNotStartKeepsTheProgramRunning) {
    server.respond(200, "MZ");
    desktop.startSucceeds = false;
    QSignalSpy end(window.get(), &update::AboutWindow::endProgramRequested);
    install();
    EXPECT_EQ(end.count(), 0);
    EXPECT_EQ(messages.texts(), QStringList{"cannot start"});
    EXPECT_EQ(desktop.busySteps, (std::vector<bool>{true, false}));
}

TEST_F(InstallTest, ClosingTheWindowMidwayDropsTheDownloadAndTheBusyPointer) {
    server.neverAnswer();
    window->Command3->click();
    window->Command3->click();  // already on its way: no second download
    ASSERT_TRUE(waitUntil([&] { return server.requests.size() == 1; }));
    window.reset();
    EXPECT_EQ(desktop.busySteps, (std::vector<bool>{true, false}));
    EXPECT_TRUE(QDir::current().entryList(QDir::Files).isEmpty());
    EXPECT_EQ(server.connections, 1);
}

TEST(FileDownload, UnreachableHostNamesBothFiles) {
    QString address;
    {
        HttpTestServer closed;
        address = closed.url(QStringLiteral("/vantrelsetup.exe"));
    }
    QTemporaryDir directory;
    const QString dest = directory.filePath(QStringLiteral("vantrelsetup.exe"));
    QNetworkAccessManager network;
    update::FileDownload download(network, 5s, 5s);
    QSignalSpy finished(&download, &update::FileDownload::finished);
    ASSERT_TRUE(download.start(address, dest));
    EXPECT_FALSE(download.start(address, dest));  // one at a time
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished[0][0].toBool());
    const QString text = finished[0][1].toString();
    EXPECT_TRUE(text.startsWith("Error ")) << text.toStdString();
    EXPECT_TRUE(text.contains(" downloading file '" + address + "' to '" + dest + "'.\r\n"))
        << text.toStdString();
    EXPECT_FALSE(QFile::exists(dest));
}

}  // namespace
