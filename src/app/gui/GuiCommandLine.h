#pragma once

#include <QString>
#include <QStringList>

// What the window's command line asks for. Only the switch words, written with "/" or
// "-", are switches; every other argument is a file name (Linux paths begin with "/").
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

    // `arguments` without the program name.
    static CGuiCommandLine Parse(const QStringList& arguments);
};
