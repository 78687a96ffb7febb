#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QUrl>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

#include "support/recording_message_boxes.h"
#include "support/small_disk.h"
#include "support/working_folder.h"
#include "update/about_window.h"
#include "update/file_download.h"
#include "update/http_test_server.h"
#include "update/recording_desktop.h"

// The version check and the installer download against servers that misbehave: error pages,
// cut and endless bodies, huge bodies, a full disk.
namespace {

using namespace std::chrono_literals;
using Answer = HttpTestServer::Answer;

const QString kCommunicationError = QStringLiteral("Error during communication with host");

long maxRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray readFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class TransferLimitsTest : public testing::Test {
  protected:
    // The About window, installing into the working directory, with short deadlines.
    void open(std::chrono::milliseconds checkDeadline = 10s,
              std::chrono::milliseconds downloadDeadline = 10s,
              std::chrono::milliseconds transferTimeout = 10s) {
        update::AboutSetup setup;
        setup.versionFile = server.url(QStringLiteral("/VERSION2.TXT"));
        setup.installer = server.url(QStringLiteral("/vantrelsetup.exe"));
        setup.transferTimeout = transferTimeout;
        setup.checkDeadline = checkDeadline;
        setup.downloadDeadline = downloadDeadline;
        setup.desktop = &desktop;
        setup.installDirectories = {
            QDir::toNativeSeparators(QDir::currentPath()).toUpper().toStdString()};
        window =
            std::make_unique<update::AboutWindow>(QStringLiteral("1.64"), messages, nullptr, setup);
    }
    void TearDown() override { window.reset(); }

    // Clicks "Check latest version on WEB"; the milliseconds until the check ended.
    qint64 check() {
        QSignalSpy ended(window.get(), &update::AboutWindow::versionCheckEnded);
        QElapsedTimer clock;
        clock.start();
        window->Command1->click();
        EXPECT_TRUE(ended.wait(20000));
        return clock.elapsed();
    }

    // Clicks "Install Latest Update"; the milliseconds until the download ended.
    qint64 install() {
        QSignalSpy finished(window->findChild<update::FileDownload*>(),
                            &update::FileDownload::finished);
        QElapsedTimer clock;
        clock.start();
        window->Command3->click();
        EXPECT_TRUE(finished.wait(20000));
        return clock.elapsed();
    }

    // Nothing was started, the program goes on, and the operator read a "Download Error".
    void expectRefused(const QString& because) {
        EXPECT_TRUE(desktop.started.isEmpty());
        EXPECT_EQ(desktop.busySteps, (std::vector<bool>{true, false}));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Download Error");
        EXPECT_TRUE(messages.shown[0].text.contains(because))
            << messages.shown[0].text.toStdString();
    }

    HttpTestServer server;
    RecordingMessageBoxes messages;
    RecordingDesktop desktop;
    std::unique_ptr<update::AboutWindow> window;
};

TEST_F(TransferLimitsTest, CheckReadsOnlyAWhole2xxBody) {
    const QByteArray ok = HttpTestServer::head(200);
    const struct {
        const char* what;
        QByteArray head, body;
        QStringList boxes;  // what the box may show at the end; "1.65" is offered
    } cases[] = {
        {"error page",
         HttpTestServer::head(404, "Not Found") + "\r\nContent-Length: 14",
         "9.99 Not Found",
         {"The server answered with status 404 Not Found."}},
        {"server error",
         HttpTestServer::head(500, "Internal Server Error"),
         "9.99 Internal",
         {"The server answered with status 500 Internal Server Error."}},
        {"cut at its length", ok + "\r\nContent-Length: 100", "1.65\r\n", {kCommunicationError}},
        // Qt may take a cut chunked body for a whole one: the version is then cut short.
        {"cut chunked",
         ok + "\r\nTransfer-Encoding: chunked",
         "6\r\n1.6",
         {kCommunicationError, "1.6"}},
        {"whole chunked",
         ok + "\r\nTransfer-Encoding: chunked",
         "6\r\n1.65\r\n\r\n0\r\n\r\n",
         {"1.65"}},
        // Ended by the connection's close: a cut cannot be told from the end, and the version
        // file is read all the same (the installer is refused such a body).
        {"close-delimited", ok, "1.65\r\n", {"1.65"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.answer(c.head, c.body);
        messages.shown.clear();
        open();
        check();
        EXPECT_TRUE(c.boxes.contains(window->Text1->text())) << window->Text1->text().toStdString();
        EXPECT_EQ(messages.texts(),
                  c.boxes != QStringList{"1.65"}
                      ? QStringList()
                      : QStringList{"Version 1.65 is available. Would you like to "
                                    "download it?"});
    }
}

TEST_F(TransferLimitsTest, TrickleEndsAtTheDeadlines) {
    // One byte every 20 ms of a 100000-byte body: the inactivity timeout never fires.
    server.script(Answer{HttpTestServer::head(200) + "\r\nContent-Length: 100000",
                         "1.65\r\n" + QByteArray(200, 'x'), 1, 20, true});
    WorkingFolder folder;
    writeFile(QStringLiteral("vantrelsetup.exe"), "old installer");
    open(400ms, 600ms);

    const qint64 checkMs = check();
    EXPECT_GE(checkMs, 350);
    EXPECT_EQ(window->Text1->text(), kCommunicationError);
    EXPECT_TRUE(messages.shown.empty());

    const qint64 installMs = install();
    EXPECT_GE(installMs, 550);
    expectRefused("downloading file '" + server.url("/vantrelsetup.exe") +
                  "' to 'vantrelsetup.exe'.\r\nThe download did not finish within 600 "
                  "milliseconds.");
    EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "old installer");
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"vantrelsetup.exe"});
    std::printf(
        "[ figures  ] 1 byte / 20 ms trickle: check ended after %lld ms (deadline 400), "
        "download after %lld ms (deadline 600)\n",
        checkMs, installMs);
}

TEST_F(TransferLimitsTest, HugeBodyIsReadOnlyAsFarAsTheVersionNeeds) {
    const QByteArray piece = "1.65\r\n" + QByteArray(64 * 1024 - 6, 'x');
    const qint64 repeats = 1600;  // 100 MiB
    const struct {
        int status;
        QByteArray reason;
        QString box;
    } cases[] = {{200, "OK", "1.65"},
                 {404, "Not Found", "The server answered with status 404 Not Found."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        server.script(Answer{HttpTestServer::head(c.status, c.reason) + "\r\nContent-Length: " +
                                 QByteArray::number(piece.size() * repeats),
                             piece, repeats, 0, true});
        server.bodyBytesSent = 0;
        messages.shown.clear();
        open();
        const long rssBefore = maxRssKib();
        const qint64 checkMs = check();
        EXPECT_EQ(window->Text1->text(), c.box);
        EXPECT_EQ(messages.shown.size(), c.status == 200 ? 1u : 0u);
        EXPECT_LT(server.bodyBytesSent, piece.size() * repeats / 4);  // the transfer was stopped
        std::printf(
            "[ figures  ] 100 MiB body with status %d: check ended after %lld ms, server sent "
            "%lld KiB, peak memory grew %ld KiB\n",
            c.status, checkMs, server.bodyBytesSent / 1024, maxRssKib() - rssBefore);
    }
}

TEST_F(TransferLimitsTest, DownloadKeepsOnlyAWholeBodyWithAKnownLength) {
    const QByteArray ok = HttpTestServer::head(200);
    const struct {
        const char* what;
        QByteArray head, body;
        QString because;  // in the message; empty: the installer is kept and started
    } cases[] = {
        {"server error", HttpTestServer::head(500, "Internal Server Error"), "<html>",
         "Error 500 downloading file '%1' to 'vantrelsetup.exe'.\r\nThe server answered with "
         "status 500 Internal Server Error."},
        {"cut at its length", ok + "\r\nContent-Length: 1000", QByteArray(500, 'M'),
         "Error 2 downloading file '%1' to 'vantrelsetup.exe'.\r\nThe transfer ended after 500 "
         "of 1000 bytes: the file is incomplete and was not kept."},
        // Qt sometimes reports the cut and sometimes not: refused either way.
        {"cut chunked", ok + "\r\nTransfer-Encoding: chunked", "10\r\nMZMZMZMZMZMZMZMZ\r\n",
         "' to 'vantrelsetup.exe'.\r\nThe "},
        // Qt does not show whether a chunked body's last chunk came: its length is not known.
        {"whole chunked", ok + "\r\nTransfer-Encoding: chunked",
         "10\r\nMZMZMZMZMZMZMZMZ\r\n0\r\n\r\n", "The server did not say how long the file is"},
        {"close-delimited", ok, QByteArray(500, 'M'),
         "Error 399 downloading file '%1' to 'vantrelsetup.exe'.\r\nThe server did not say how "
         "long the file is"},
        {"empty", ok + "\r\nContent-Length: 0", "", "The server sent an empty file."},
        {"whole", ok + "\r\nContent-Length: 16", "MZMZMZMZMZMZMZMZ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        writeFile(QStringLiteral("vantrelsetup.exe"), "old installer");
        server.answer(c.head, c.body);
        messages.shown.clear();
        desktop = RecordingDesktop();
        open();
        install();
        if (c.because.isEmpty()) {
            EXPECT_EQ(desktop.started.size(), 1);
            EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "MZMZMZMZMZMZMZMZ");
        } else {
            expectRefused(QString(c.because).replace("%1", server.url("/vantrelsetup.exe")));
            EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "old installer");
        }
        EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"vantrelsetup.exe"});
        window.reset();
    }
}

TEST_F(TransferLimitsTest, SilentServerIsATimeoutNotACancel) {
    const struct {
        const char* what;
        bool answers;  // the head and part of the body, then silence
    } cases[] = {{"never answers", false}, {"stops halfway", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        writeFile(QStringLiteral("vantrelsetup.exe"), "old installer");
        if (c.answers) {
            server.script(Answer{HttpTestServer::head(200) + "\r\nContent-Length: 1000",
                                 QByteArray(500, 'M'), 1, 0, false});
        } else {
            server.neverAnswer();
        }
        messages.shown.clear();
        desktop = RecordingDesktop();
        open(10s, 10s, 300ms);
        const qint64 ms = install();
        EXPECT_GE(ms, 250);
        expectRefused("Error 4 downloading file '" + server.url("/vantrelsetup.exe") +
                      "' to 'vantrelsetup.exe'.\r\nThe server stopped answering: nothing came "
                      "from it for 300 milliseconds.");
        EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "old installer");
        window.reset();
    }
}

TEST_F(TransferLimitsTest, DownloadFollowsNoRedirectionOffTheUpdateServer) {
    HttpTestServer elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    elsewhere.respond(200, "EVIL");
    HttpTestServer otherPort;
    otherPort.respond(200, "EVIL");
    const struct {
        const char* what;
        QString location;
        bool followed;
    } cases[] = {
        {"same server", "/files/vantrelsetup.exe", true},
        {"same server, written whole", server.url("/files/vantrelsetup.exe"), true},
        {"another host", elsewhere.url("/vantrelsetup.exe"), false},
        {"another port", otherPort.url("/vantrelsetup.exe"), false},
        {"another scheme", server.url("/files/vantrelsetup.exe").replace("http:", "https:"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        writeFile(QStringLiteral("vantrelsetup.exe"), "old installer");
        server.respondTo("/vantrelsetup.exe", 302, "\r\nLocation: " + c.location.toUtf8(), "");
        server.respondTo("/files/vantrelsetup.exe", 200, "", "MZMZ");
        messages.shown.clear();
        desktop = RecordingDesktop();
        open();
        install();
        if (c.followed) {
            EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "MZMZ");
            EXPECT_EQ(desktop.started.size(), 1);
        } else {
            expectRefused("' to 'vantrelsetup.exe'.\r\nThe server sent the request on to " +
                          QUrl(server.url("/")).resolved(QUrl(c.location)).toString() +
                          ", which is not the update server: the redirection was not followed.");
            EXPECT_EQ(readFile(QStringLiteral("vantrelsetup.exe")), "old installer");
        }
        EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{"vantrelsetup.exe"});
        window.reset();
    }
    EXPECT_TRUE(elsewhere.requests.isEmpty());
    EXPECT_TRUE(otherPort.requests.isEmpty());
}

TEST_F(TransferLimitsTest, DownloadOntoAFullDiskLeavesTheOldInstaller) {
    SmallDisk disk;
    if (!disk.refusal().empty()) {
        GTEST_SKIP() << "no full disk to test on: " << disk.refusal();
    }
    const QByteArray old(40, 'o');
    writeFile(disk.filePath(QStringLiteral("vantrelsetup.exe")), old);
    disk.fill();
    // Small enough to sit in a write buffer until the end: where a lost error would hide.
    server.respond(200, QByteArray(5000, 'M'));
    open();
    install();
    expectRefused("No space left on device");
    EXPECT_EQ(disk.read(QStringLiteral("vantrelsetup.exe")), old);
    EXPECT_EQ(disk.files(), QStringList{"vantrelsetup.exe"});
    window.reset();
}

}  // namespace
