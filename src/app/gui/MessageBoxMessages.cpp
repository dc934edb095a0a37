#include "app/gui/MessageBoxMessages.h"

#include "shell/toolkit/ModelText.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace {

QMessageBox::Icon ToIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

CMessageBoxMessages::CMessageBoxMessages()
    : m_toStandardError(qEnvironmentVariable("QUILTMARK_MESSAGES") == QLatin1String("stderr"))
{
}

void CMessageBoxMessages::ShowMessage(const std::string& text, MessageIcon icon)
{
    if (m_toStandardError) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QMessageBox box(
        ToIcon(icon), QString::fromLatin1(kTitle), FromModelText(text), QMessageBox::Ok, m_parent);
    box.exec();
}

MessageAnswer CMessageBoxMessages::AskYesNo(const std::string& text, MessageIcon icon)
{
    if (m_toStandardError) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return MessageAnswer::No;
    }
    QMessageBox box(ToIcon(icon), QString::fromLatin1(kTitle), FromModelText(text),
        QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}
