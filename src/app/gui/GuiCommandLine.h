#pragma once

#include <QString>
#include <QStringList>

// What the window's command line asks for. Every argument beginning with "-" is a switch;
// one beginning with "/" is a switch only when it is a switch word, otherwise a file name
// (Linux paths begin with "/"). The first other argument is the file name.
struct CGuiCommandLine {
    enum class Action { FileNew, FileOpen, FilePrint, FilePrintTo, FileDde, Register, Unregister };

    Action action = Action::FileNew;
    QString fileName;
    QString printerName;
    QString driverName;
    QString portName;
    bool runEmbedded = false;
    bool runAutomated = false;
    // "/metalib" as an argument of its own: the library-entry command is offered.
    bool libraryEntry = false;
    // Dash words that are no switch: ignored, and the program says so on standard error.
    QStringList unknownSwitches;

    // `arguments` without the program name.
    static CGuiCommandLine Parse(const QStringList& arguments);
};
