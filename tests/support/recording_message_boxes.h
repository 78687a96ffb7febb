#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

#include "platform/message_boxes.h"

// Records every message instead of showing it, and answers Yes/No questions from a script.
class RecordingMessageBoxes final : public platform::MessageBoxes {
  public:
    struct Shown {
        QString title;
        QString text;
    };

    void inform(const QString& text) override {
        shown.push_back({platform::kApplicationTitle, text});
    }
    void warn(const QString& title, const QString& text) override {
        shown.push_back({title, text});
    }
    void askYesNo(const QString& text, std::function<void(bool)> answer) override {
        shown.push_back({platform::kApplicationTitle, text});
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        answer(yes);
    }

    QStringList texts() const {
        QStringList all;
        for (const auto& s : shown) {
            all << s.text;
        }
        return all;
    }

    std::vector<Shown> shown;
    std::deque<bool> answers;  // answers to the next questions; No when empty
};
