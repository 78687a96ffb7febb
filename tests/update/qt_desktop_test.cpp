#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWidget>

#include "platform/qt_desktop.h"

namespace {

TEST(QtDesktop, KeepOnTopLeavesAShownWindowWhereItWas) {
    platform::QtDesktop desktop;
    QWidget window;
    window.setGeometry(40, 50, 300, 200);
    window.show();
    desktop.keepOnTop(window, true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), QRect(40, 50, 300, 200));
    desktop.keepOnTop(window, false);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
}

TEST(QtDesktop, BusyPointerIsRestoredOnceWhateverTheCalls) {
    {
        platform::QtDesktop desktop;
        desktop.setBusy(true);
        desktop.setBusy(true);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        desktop.setBusy(false);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        desktop.setBusy(true);
    }  // a desktop that goes away leaves the ordinary pointer
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
