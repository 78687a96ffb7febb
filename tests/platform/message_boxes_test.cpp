// Real message boxes, offscreen: one on screen at a time, the others wait their turn.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include "platform/qt_message_boxes.h"
#include "support/event_loop.h"

namespace {

// The message boxes that are on screen.
QStringList shownTexts() {
    QStringList texts;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box != nullptr && box->isVisible()) {
            texts << box->text();
        }
    }
    return texts;
}

void press(platform::QtMessageBoxes& boxes, QMessageBox::StandardButton button) {
    QMessageBox* box = boxes.showing();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(button), Qt::LeftButton);
}

TEST(QtMessageBoxes, OneAtATimeInTheOrderTheyCame) {
    platform::QtMessageBoxes boxes;
    std::vector<bool> answers;
    boxes.inform(QStringLiteral("first"));
    boxes.warn(QStringLiteral("Careful"), QStringLiteral("second"));
    boxes.askYesNo(QStringLiteral("third?"), [&](bool yes) { answers.push_back(yes); });
    EXPECT_EQ(shownTexts(), QStringList{"first"});
    EXPECT_EQ(boxes.waiting(), 2u);

    press(boxes, QMessageBox::Ok);
    ASSERT_TRUE(waitUntil([&] { return shownTexts() == QStringList{"second"}; }));
    EXPECT_EQ(boxes.showing()->windowTitle(), "Careful");
    press(boxes, QMessageBox::Ok);
    ASSERT_TRUE(waitUntil([&] { return shownTexts() == QStringList{"third?"}; }));
    EXPECT_EQ(boxes.showing()->windowTitle(), "Vantrel");
    press(boxes, QMessageBox::Yes);
    ASSERT_TRUE(waitUntil([&] { return shownTexts().isEmpty(); }));
    EXPECT_EQ(answers, std::vector<bool>{true});

    // A message after all were closed shows at once.
    boxes.inform(QStringLiteral("again"));
    EXPECT_EQ(shownTexts(), QStringList{"again"});
}

TEST(QtMessageBoxes, GoingAwayWithBoxesOpenAndWaiting) {
    {
        platform::QtMessageBoxes boxes;
        boxes.inform(QStringLiteral("open"));
        boxes.inform(QStringLiteral("waiting"));
    }
    runEvents(50);
    EXPECT_TRUE(shownTexts().isEmpty());
}

}  // namespace
