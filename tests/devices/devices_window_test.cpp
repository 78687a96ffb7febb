#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
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
    EXPECT_EQ(w.size(), QSize(383, 109));  // 5745 x 1635 twips
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

}  // namespace
