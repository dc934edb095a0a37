#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// The model never shows a window. Whenever it must tell the user something or ask a
// question it calls this interface: the window answers with message boxes, the
// command line writes to standard error, tests record the calls.

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageAnswer { Yes, No };

class IUserMessages {
public:
    virtual ~IUserMessages() = default;
    // A message with an OK button only.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // A question with Yes and No buttons.
    virtual MessageAnswer AskYesNo(const std::string& text, MessageIcon icon) = 0;
};

// Says nothing and answers every question with a fixed answer.
class CSilentMessages : public IUserMessages {
public:
    explicit CSilentMessages(MessageAnswer answer = MessageAnswer::Yes)
        : m_answer(answer)
    {
    }
    void ShowMessage(const std::string&, MessageIcon) override { }
    MessageAnswer AskYesNo(const std::string&, MessageIcon) override { return m_answer; }

private:
    MessageAnswer m_answer;
};

// Remembers every call; answers questions from a queue (Yes when it runs dry).
class CRecordingMessages : public IUserMessages {
public:
    struct Call {
        bool question = false;
        std::string text;
        MessageIcon icon = MessageIcon::None;
    };

    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        calls.push_back({ false, text, icon });
    }
    MessageAnswer AskYesNo(const std::string& text, MessageIcon icon) override
    {
        calls.push_back({ true, text, icon });
        if (answers.empty())
            return MessageAnswer::Yes;
        MessageAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }

    std::vector<Call> calls;
    std::vector<MessageAnswer> answers;
};

// The batch command line's answer: messages become lines on standard error, and every
// question gets No, the answer that changes nothing.
class CStderrMessages : public IUserMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    MessageAnswer AskYesNo(const std::string& text, MessageIcon) override
    {
        std::fprintf(stderr, "%s\n(answered No)\n", text.c_str());
        return MessageAnswer::No;
    }
};
