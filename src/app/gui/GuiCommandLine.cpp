#include "app/gui/GuiCommandLine.h"

namespace {

enum class Switch {
    None,
    Unknown,
    Print,
    PrintTo,
    Dde,
    Register,
    Unregister,
    Embedding,
    Automation,
    Metalib
};

Switch SwitchOf(const QString& argument)
{
    if (argument == QLatin1String("/metalib"))
        return Switch::Metalib;
    if (argument.size() < 2 || (argument[0] != QLatin1Char('/') && argument[0] != QLatin1Char('-')))
        return Switch::None;
    const QString word = argument.mid(1);
    // "p", "pt" and "dde" are matched exactly, the other words in any case.
    if (word == QLatin1String("p"))
        return Switch::Print;
    if (word == QLatin1String("pt"))
        return Switch::PrintTo;
    if (word == QLatin1String("dde"))
        return Switch::Dde;
    const auto is = [&word](const char* w) {
        return word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    };
    if (is("Register") || is("Regserver"))
        return Switch::Register;
    if (is("Unregister") || is("Unregserver"))
        return Switch::Unregister;
    if (is("Embedding"))
        return Switch::Embedding;
    if (is("Automation"))
        return Switch::Automation;
    // "/word" may be a path; "-word" never names a file here.
    return argument[0] == QLatin1Char('-') ? Switch::Unknown : Switch::None;
}

} // namespace

CGuiCommandLine CGuiCommandLine::Parse(const QStringList& arguments)
{
    CGuiCommandLine result;
    for (const QString& argument : arguments) {
        switch (SwitchOf(argument)) {
        case Switch::Print:
            result.action = Action::FilePrint;
            continue;
        case Switch::PrintTo:
            result.action = Action::FilePrintTo;
            continue;
        case Switch::Dde:
            result.action = Action::FileDde;
            continue;
        case Switch::Register:
            result.action = Action::Register;
            continue;
        case Switch::Unregister:
            result.action = Action::Unregister;
            continue;
        case Switch::Embedding:
            result.runEmbedded = true;
            continue;
        case Switch::Automation:
            result.runAutomated = true;
            continue;
        case Switch::Metalib:
            result.libraryEntry = true;
            continue;
        case Switch::Unknown:
            result.unknownSwitches.append(argument);
            continue;
        case Switch::None:
            break;
        }
        if (result.fileName.isEmpty())
            result.fileName = argument;
        else if (result.action == Action::FilePrintTo && result.printerName.isEmpty())
            result.printerName = argument;
        else if (result.action == Action::FilePrintTo && result.driverName.isEmpty())
            result.driverName = argument;
        else if (result.action == Action::FilePrintTo && result.portName.isEmpty())
            result.portName = argument;
    }
    if (result.action == Action::FileNew && !result.fileName.isEmpty())
        result.action = Action::FileOpen;
    return result;
}
