#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <vector>

#include "platform/qt_message_boxes.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "update/about_window.h"
#include "update/history_window.h"
#include "update/http_test_server.h"
#include "update/open_browser.h"
#include "update/recording_desktop.h"

namespace {

using namespace std::chrono_literals;

class AboutWindowTest : public testing::Test {
  protected:
    update::AboutWindow& open(std::chrono::milliseconds timeout = 5s, QString versionFile = {}) {
        update::AboutSetup setup;
        setup.versionFile =
            versionFile.isEmpty() ? server.url(QStringLiteral("/VERSION2.TXT")) : versionFile;
        setup.installer = server.url(QStringLiteral("/vantrelsetup.exe"));
        setup.transferTimeout = timeout;
        setup.desktop = &desktop;
        window =
            std::make_unique<update::AboutWindow>(QStringLiteral("1.64"), messages, nullptr, setup);
        connect();
        return *window;
    }

    void connect() {
        QObject::connect(window->Text1, &QLineEdit::textChanged,
                         [this](const QString& text) { boxTexts << text; });
    }

    // Clicks "Check latest version on WEB" and waits for the check to end.
    bool check() {
        QSignalSpy ended(window.get(), &update::AboutWindow::versionCheckEnded);
        window->Command1->click();
        return ended.wait(5000);
    }

    HttpTestServer server;
    RecordingMessageBoxes messages;
    RecordingDesktop desktop;
    std::unique_ptr<update::AboutWindow> window;
    QStringList boxTexts;
};

TEST_F(AboutWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    auto& about = open();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(338, 192));
    const struct {
        const char* name;
        QString text;
        QRect place;
    } controls[] = {
        {"Command1", "Check latest version on WEB", {14, 96, 171, 26}},
        {"Command2", "Close", {264, 160, 55, 25}},
        {"Text1", "", {96, 128, 222, 26}},
        {"Command3", "Install Latest Update", {192, 96, 129, 25}},
        {"Label3", "Status /Version", {16, 128, 81, 25}},
        {"Command4", "Donate", {200, 160, 63, 25}},
        {"Command5", "View History", {16, 160, 169, 25}},
        {"Label1", "", {17, 9, 299, 78}},
    };
    for (const auto& c : controls) {
        auto* control = about.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->geometry(), c.place) << c.name;
        if (!c.text.isEmpty()) {
            EXPECT_EQ(control->property("text").toString(), c.text) << c.name;
        }
    }
    EXPECT_TRUE(about.Label1->text().startsWith("Your Vantrel version is 1.64\r\n"));

    QStringList tabOrder;
    for (QWidget* w = about.Command1; tabOrder.size() < 6; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) {
            tabOrder << w->objectName();
        }
    }
    EXPECT_EQ(tabOrder,
              QStringList({"Command1", "Command2", "Text1", "Command3", "Command4", "Command5"}));
    EXPECT_EQ(desktop.onTopWindows, QStringList{"AboutFrm"});
}

TEST_F(AboutWindowTest, OneHistoryWindowThatClosesWithTheAboutWindow) {
    auto& about = open();
    about.show();
    about.Command5->click();
    about.Command5->click();
    const auto histories = about.findChildren<update::HistoryWindow*>();
    ASSERT_EQ(histories.size(), 1);
    QPointer<update::HistoryWindow> history = histories.front();
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(history->windowTitle(), "Form1");
    EXPECT_EQ(history->size(), QSize(304, 215));
    EXPECT_TRUE(history->Text1->toPlainText().startsWith("Vesion 1.64 Coded by "));
    EXPECT_EQ(history->Text1->toPlainText().split('\n').value(1),
              "Changed label from \"Tone\" to \"Pitch\"");
    EXPECT_EQ(desktop.onTopWindows, QStringList({"AboutFrm", "History"}));

    about.Command2->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(waitUntil([&] { return history == nullptr; }));
}

TEST_F(AboutWindowTest, DonateOpensTheDonationPage) {
    open().Command4->click();
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_TRUE(desktop.opened[0].startsWith("https://"));
    EXPECT_TRUE(desktop.opened[0].contains("/donate/?hosted_button_id="));
}

TEST(OpenBrowser, PrefixesUnlessHttpStandsFirstAndPassesTheDesktopsAnswer) {
    const struct {
        QString given, opened;
    } table[] = {
        {"www.example.org", "http://www.example.org"},
        {"HTTP://WWW.EXAMPLE.ORG", "HTTP://WWW.EXAMPLE.ORG"},
        {"Https://www.example.org/x", "Https://www.example.org/x"},
        {"www.example.org/http", "http://www.example.org/http"},
        {" http://www.example.org", "http:// http://www.example.org"},
        {"httpd.example.org", "httpd.example.org"},
        {"htt", "http://htt"},
    };
    for (const auto& row : table) {
        RecordingDesktop desktop;
        desktop.browserAccepts = row.given.size() % 2 == 0;
        EXPECT_EQ(update::OpenBrowser(desktop, row.given), desktop.browserAccepts);
        EXPECT_EQ(desktop.opened, QStringList{row.opened});
    }
}

TEST_F(AboutWindowTest, ReadsTheFirstLineAndOffersADifferentVersion) {
    const struct {
        int status;
        QByteArray body;
        QString box;    // what the status box shows at the end
        QString offer;  // the version offered, or empty for none
    } cases[] = {{200, "1.64", "1.64", ""},
                 {200, "1.65", "1.65", "1.65"},
                 {200, "1.63", "1.63", "1.63"},
                 {200, "1.7", "1.7", ""},
                 {200, "1.65\r\nmore\r\n", "1.65", "1.65"},
                 {200, "1.65\nmore\n", "1.65", "1.65"},
                 {200, "<html>\r\n<body>Not here</body>", "<html>", ""},
                 {200, "", "Server returned a blank response", ""},
                 {200, " 1.64 ", " 1.64 ", ""},
                 // Only the first 1024 bytes are read.
                 {200, QByteArray(1020, '9') + "12345", QString(1020, '9') + "1234",
                  QString(1020, '9') + "1234"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.left(40).toStdString());
        server.respond(c.status, c.body);
        messages.shown.clear();
        open();
        ASSERT_TRUE(check());
        EXPECT_EQ(window->Text1->text(), c.box);
        const QString offered =
            QStringLiteral("Version %1 is available. Would you like to download it?");
        EXPECT_EQ(messages.texts(),
                  c.offer.isEmpty() ? QStringList() : QStringList{offered.arg(c.offer)});
    }
}

TEST_F(AboutWindowTest, ReportsEveryStepInOrderAndAsksForTheWholeFile) {
    server.respond(200, "1.65\r\nmore");
    open();
    ASSERT_TRUE(check());
    EXPECT_EQ(boxTexts, QStringList({
                            "Looking IP address of host",
                            "Found the IP address of host",
                            "Connecting to host",
                            "Successfully connected to host",
                            "Sending request to host",
                            "Successfully sent request to host",
                            "Receiving response from host",
                            "Successfully received a response from host",
                            "Request completed and all data has been received",
                            "1.65\r\nmore",
                            "1.65",
                        }));
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(server.requests[0].startsWith("GET /VERSION2.TXT HTTP/1.1\r\n"));
    EXPECT_TRUE(server.requests[0].contains("\r\nRange: bytes=0-"));
}

TEST_F(AboutWindowTest, SilentServerEndsTheCheckAfterTheTimeoutWithoutHoldingTheWindow) {
    server.neverAnswer();
    open(300ms);
    QSignalSpy ended(window.get(), &update::AboutWindow::versionCheckEnded);
    QElapsedTimer clock;
    clock.start();
    window->Command1->click();
    window->Command1->click();  // while the first check runs: no second one, and a word why
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_EQ(messages.texts(), QStringList{"The last check is still waiting for the server's "
                                            "answer: its progress shows in the status box."});
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_EQ(window->Text1->text(),
              "The server stopped answering: nothing came from it for 300 milliseconds.");
    EXPECT_EQ(server.connections, 1);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(AboutWindowTest, RedirectionIsFollowedOnlyOnTheSameServer) {
    HttpTestServer elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    elsewhere.respond(200, "9.99");
    const struct {
        const char* what;
        QString location;
        QString box;  // at the end; "1.65" is offered
    } cases[] = {
        {"same server", "/v2.txt", "1.65"},
        {"another host", elsewhere.url("/VERSION2.TXT"), ""},
        {"another port", HttpTestServer().url("/VERSION2.TXT"), ""},
        {"another scheme", server.url("/VERSION2.TXT").replace("http:", "https:"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.respondTo("/VERSION2.TXT", 302, "\r\nLocation: " + c.location.toUtf8(), "");
        server.respondTo("/v2.txt", 200, "", "1.65");
        messages.shown.clear();
        open();
        ASSERT_TRUE(check());
        const QString refused = "The server sent the request on to " +
                                QUrl(server.url("/")).resolved(QUrl(c.location)).toString() +
                                ", which is not the update server: the redirection was not "
                                "followed.";
        EXPECT_EQ(window->Text1->text(), c.box.isEmpty() ? refused : c.box);
        EXPECT_EQ(messages.shown.size(), c.box.isEmpty() ? 0u : 1u);
    }
    EXPECT_TRUE(elsewhere.requests.isEmpty());
}

TEST(AboutWindow, AVersionLineWithMarkupIsOfferedAsItsCharacters) {
    const QString line = QStringLiteral("9.99 <a href=\"http://www.example.com/\">CLICK HERE</a>");
    HttpTestServer server;
    server.respond(200, line.toUtf8() + "\r\n");
    RecordingDesktop desktop;
    platform::QtMessageBoxes boxes;
    update::AboutSetup setup;
    setup.versionFile = server.url(QStringLiteral("/VERSION2.TXT"));
    setup.desktop = &desktop;
    update::AboutWindow about(QStringLiteral("1.64"), boxes, nullptr, setup);
    QSignalSpy ended(&about, &update::AboutWindow::versionCheckEnded);
    about.Command1->click();
    ASSERT_TRUE(ended.wait(5000));

    QMessageBox* box = boxes.showing();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Version " + line + " is available. Would you like to download it?");
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // Clicks all over the text find no link (the browser is kept out of it).
    label->setOpenExternalLinks(false);
    int links = 0;
    QObject::connect(label, &QLabel::linkActivated, [&] { ++links; });
    for (int y = 0; y < label->height(); y += 3) {
        for (int x = 0; x < label->width(); x += 3) {
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
        }
    }
    EXPECT_EQ(links, 0);
    EXPECT_TRUE(desktop.opened.isEmpty());
    box->close();
}

TEST_F(AboutWindowTest, RefusedConnectionEndsWithTheErrorText) {
    QString address;
    {
        HttpTestServer closed;
        address = closed.url(QStringLiteral("/VERSION2.TXT"));
    }
    open(5s, address);
    ASSERT_TRUE(check());
    EXPECT_EQ(boxTexts.value(boxTexts.size() - 1), "Error during communication with host");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AboutWindowTest, YesOutsideTheInstallDirectoryOffersTheDownloadPage) {
    server.respond(200, "1.65");
    open();
    messages.answers = {true, true};  // download it, and open the page
    ASSERT_TRUE(check());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.contains("http://www.example.org/download.html"));
    EXPECT_EQ(desktop.opened, QStringList{"http://www.example.org/download.html"});
    EXPECT_EQ(server.requests.size(), 1);  // nothing downloaded
    EXPECT_TRUE(desktop.busySteps.empty());
}

}  // namespace
