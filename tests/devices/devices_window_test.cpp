#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "devices/devices_window.h"

namespace {

using devices::DevicesWindow;

const QStringList kDevices = {QStringLiteral("Speakers"), QStringLiteral("Headset"),
                              QStringLiteral("HDMI")};

QComboBox* combo(DevicesWindow& w) {
    return w.findChild<QComboBox*>(QStringLiteral("Combo1"));
}
QPushButton* button(DevicesWindow& w, const char* name) {
    return w.findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(DevicesWindow, ControlsAsDesigned) {
    DevicesWindow w(kDevices, 0);
    EXPECT_EQ(w.windowTitle(), "Devices");
    EXPECT_EQ(w.objectName(), "Devices");
    EXPECT_EQ(w.size(), QSize(383, 264));  // 5745 x 3960 twips: the radio's part below
    struct Control {
        const char* name;
        QString caption;
        QRect where;  // twips / 15
    } controls[] = {
        {"Label1", "Sound Devices", {144, 0, 169, 25}},
        {"Command1", "Apply", {16, 64, 65, 33}},
        {"Command2", "Close", {248, 64, 65, 33}},
    };
    for (const Control& c : controls) {
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.where) << c.name;
        const QString text = qobject_cast<QLabel*>(widget) != nullptr
                                 ? qobject_cast<QLabel*>(widget)->text()
                                 : qobject_cast<QPushButton*>(widget)->text();
        EXPECT_EQ(text, c.caption) << c.name;
    }
    EXPECT_EQ(combo(w)->geometry(), QRect(16, 24, 361, 21));
}

TEST(DevicesWindow, PreselectsTheDeviceInUse) {
    struct Case {
        int index;
        int selected;
        QString text;
    } cases[] = {{0, 0, "Speakers"}, {2, 2, "HDMI"}, {3, -1, "Default"}, {-1, -1, "Default"}};
    for (const Case& c : cases) {
        DevicesWindow w(kDevices, c.index);
        ASSERT_EQ(combo(w)->count(), 3) << c.index;
        EXPECT_EQ(combo(w)->currentIndex(), c.selected) << c.index;
        EXPECT_EQ(combo(w)->currentText(), c.text) << c.index;
    }
}

TEST(DevicesWindow, ApplySendsTheChosenPositionAndCloses) {
    DevicesWindow w(kDevices, 0);
    w.show();
    QSignalSpy applied(&w, &DevicesWindow::applied);
    combo(w)->setCurrentIndex(1);
    QTest::mouseClick(button(w, "Command1"), Qt::LeftButton);
    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(applied.at(0).at(0).toInt(), 1);
    EXPECT_FALSE(w.isVisible());
}

TEST(DevicesWindow, CloseAndApplyingNothingChangeNothing) {
    for (const int index : {0, 5}) {
        DevicesWindow w(kDevices, index);
        w.show();
        QSignalSpy applied(&w, &DevicesWindow::applied);
        if (index == 0) {
            combo(w)->setCurrentIndex(2);
            QTest::mouseClick(button(w, "Command2"), Qt::LeftButton);  // Close
        } else {
            QTest::mouseClick(button(w, "Command1"), Qt::LeftButton);  // Apply, nothing chosen
        }
        EXPECT_EQ(applied.count(), 0) << index;
        EXPECT_FALSE(w.isVisible()) << index;
    }
}

TEST(DevicesWindow, NoDevicesAtAll) {
    DevicesWindow w({}, 0);
    QSignalSpy applied(&w, &DevicesWindow::applied);
    QTest::mouseClick(button(w, "Command1"), Qt::LeftButton);
    EXPECT_EQ(applied.count(), 0);
    EXPECT_EQ(combo(w)->currentText(), "Default");
}

// The radio's part: "none" first, the inputs, the choice made; every choice is said at once.
TEST(DevicesWindow, TheRadiosInputIsChosenAtOnce) {
    DevicesWindow w(kDevices, 0);
    auto* inputs = w.findChild<QComboBox*>(QStringLiteral("Combo2"));
    auto* pitch = w.findChild<QSpinBox*>(QStringLiteral("Spin1"));
    ASSERT_TRUE(inputs && pitch);
    EXPECT_EQ(inputs->itemText(0), "none");
    EXPECT_EQ(inputs->currentText(), "none");

    w.showRadio({{"rx.monitor", "Monitor of Radio"}, {"mic", "Microphone"}}, "mic", 0, false);
    EXPECT_EQ(inputs->count(), 3);
    EXPECT_EQ(inputs->currentText(), "Microphone");
    EXPECT_EQ(pitch->text(), "find");

    QSignalSpy chosen(&w, &DevicesWindow::radioChosen);
    inputs->setCurrentIndex(1);
    emit inputs->activated(1);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), "rx.monitor");
    EXPECT_EQ(chosen.at(0).at(1).toInt(), 0);
    pitch->setValue(650);
    emit pitch->editingFinished();
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(1).at(1).toInt(), 650);
    inputs->setCurrentIndex(0);
    emit inputs->activated(0);
    EXPECT_EQ(chosen.at(2).at(0).toString(), "");

    // An input chosen before and not there now stays chosen, and says so.
    w.showRadio({{"mic", "Microphone"}}, "gone.monitor", 700, true);
    EXPECT_EQ(inputs->currentText(), "gone.monitor (not found)");
    EXPECT_EQ(pitch->value(), 700);
    EXPECT_TRUE(w.findChild<QCheckBox*>(QStringLiteral("Check1"))->isChecked());
    EXPECT_EQ(chosen.count(), 3);  // showing is not choosing
}

TEST(DevicesWindow, TakeFollowAndTheStatusLine) {
    DevicesWindow w(kDevices, 0);
    QSignalSpy take(&w, &DevicesWindow::takeRadioDelay);
    QSignalSpy follow(&w, &DevicesWindow::followRadio);
    QTest::mouseClick(button(w, "Command3"), Qt::LeftButton);
    EXPECT_EQ(take.count(), 1);
    w.findChild<QCheckBox*>(QStringLiteral("Check1"))->click();
    ASSERT_EQ(follow.count(), 1);
    EXPECT_TRUE(follow.at(0).at(0).toBool());

    int asked = 0;
    w.setStatusSource([&asked] { return QStringLiteral("<b>%1</b>").arg(++asked); });
    auto* status = w.findChild<QLabel*>(QStringLiteral("Label4"));
    EXPECT_EQ(status->text(), "<b>1</b>");
    EXPECT_EQ(status->textFormat(), Qt::PlainText);  // names from outside are only text
    QTest::qWait(DevicesWindow::kStatusEveryMs * 3);
    EXPECT_GE(asked, 2);
    EXPECT_LE(asked, 5);
}

}  // namespace
