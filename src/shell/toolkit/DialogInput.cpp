#include "shell/toolkit/DialogInput.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CDialogInput::CDialogInput(int maxLength, QWidget* parent)
    : QDialog(parent)
    , m_maxLength(maxLength < 0 ? 0 : maxLength)
    , m_prompt(new QLabel(this))
    , m_edit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("inputDialog"));
    m_prompt->setObjectName(QStringLiteral("inputPrompt"));
    m_edit->setObjectName(QStringLiteral("inputText"));
    m_edit->setMaxLength(m_maxLength);
    m_prompt->setBuddy(m_edit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

void CDialogInput::SetTitle(const QString& title)
{
    setWindowTitle(title);
}

void CDialogInput::SetPrompt(const QString& prompt)
{
    m_prompt->setText(prompt);
}

void CDialogInput::SetText(const QString& text)
{
    m_edit->setText(text.left(m_maxLength));
    m_edit->selectAll();
}

QString CDialogInput::GetText() const
{
    return m_edit->text().left(m_maxLength);
}

bool CDialogInput::DoModal()
{
    return exec() == QDialog::Accepted;
}
