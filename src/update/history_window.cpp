#include "update/history_window.h"

#include "update/twips.h"
#include "update/window_texts.h"

namespace update {

HistoryWindow::HistoryWindow(platform::Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window),
      Text1(new QPlainTextEdit(this)),
      Command1(new QPushButton(QStringLiteral("Close"), this)) {
    setObjectName(QStringLiteral("History"));
    // The window has never had a title of its own.
    setWindowTitle(QStringLiteral("Form1"));
    resize(twips(4560), twips(3225));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(240, 240, 3975, 2415));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setPlainText(QString::fromStdString(historyText()));

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(3360, 2760, 975, 375));
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(Text1, Command1);
    desktop.keepOnTop(*this, true);
}

}  // namespace update
