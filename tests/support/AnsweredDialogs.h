#pragma once
// Every dialog the window asks for, noted and answered from a queue (an empty answer once the
// queue is used up), for as long as the object lives.

#include "Dialogs.h"

#include <QString>
#include <vector>

namespace vintrel::test {

struct AnsweredDialogs {
    explicit AnsweredDialogs(std::vector<QString> given = {}) : answers(std::move(given)) {
        Dialogs::setTestHook([this](const DialogRequest& request) {
            asked.push_back(request);
            if (answers.empty()) return QString();
            const QString answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        });
    }
    ~AnsweredDialogs() { Dialogs::setTestHook(nullptr); }
    AnsweredDialogs(const AnsweredDialogs&) = delete;
    AnsweredDialogs& operator=(const AnsweredDialogs&) = delete;

    std::vector<QString> answers;
    std::vector<DialogRequest> asked;
};

} // namespace vintrel::test
