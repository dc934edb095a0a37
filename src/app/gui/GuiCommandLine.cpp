#include "app/gui/GuiCommandLine.h"

#include <QFile>

CGuiCommandLine CGuiCommandLine::Parse(const QStringList& arguments)
{
    // Arguments go back to the bytes they were given as, so that file names round-trip.
    std::vector<std::string> words;
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument).toStdString());
    const CWindowArguments parsed = CWindowArguments::Parse(words);

    const auto text = [](const std::string& word) { return QFile::decodeName(word.c_str()); };
    CGuiCommandLine result;
    result.action = parsed.action;
    result.fileName = text(parsed.fileName);
    result.printerName = text(parsed.printerName);
    result.driverName = text(parsed.driverName);
    result.portName = text(parsed.portName);
    result.libraryEntry = parsed.libraryEntry;
    for (const std::string& word : parsed.unknownSwitches)
        result.unknownSwitches.append(text(word));
    return result;
}
