#pragma once

#include "app/base/UserMessages.h"

#include <QThread>
#include <new>
#include <vector>

// Records messages with the thread that showed them; the first one after `failNext` is set
// throws instead, as a message box that cannot get its memory would.
class CThreadRecordingMessages : public CRecordingMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        threads.push_back(QThread::currentThread());
        if (failNext) {
            failNext = false;
            throw std::bad_alloc();
        }
        CRecordingMessages::ShowMessage(text, icon);
    }
    MessageAnswer AskYesNo(const std::string& text, MessageIcon icon) override
    {
        threads.push_back(QThread::currentThread());
        return CRecordingMessages::AskYesNo(text, icon);
    }

    std::vector<QThread*> threads;
    bool failNext = false;
};
