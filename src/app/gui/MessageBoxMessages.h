#pragma once

#include "app/base/UserMessages.h"

class QWidget;

// The model's messages and questions as message boxes titled "Quiltmark". With the
// environment variable QUILTMARK_MESSAGES=stderr (unattended runs) they go to standard
// error instead and questions are answered No.
class CMessageBoxMessages : public IUserMessages {
public:
    static constexpr const char* kTitle = "Quiltmark";

    CMessageBoxMessages();

    void SetParent(QWidget* parent) { m_parent = parent; }
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    MessageAnswer AskYesNo(const std::string& text, MessageIcon icon) override;

private:
    QWidget* m_parent = nullptr;
    bool m_toStandardError = false;
};
