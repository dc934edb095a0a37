#pragma once

#include "app/cli/Arguments.h"

#include <QString>
#include <QStringList>

// The window's switches (read by CWindowArguments) with the names as Qt text.
struct CGuiCommandLine {
    using Action = CWindowArguments::Action;

    Action action = Action::FileNew;
    QString fileName;
    QString printerName;
    QString driverName;
    QString portName;
    // "/metalib" as an argument of its own: the library-entry command is offered.
    bool libraryEntry = false;
    // Dash words that are no switch: ignored, and the program says so on standard error.
    QStringList unknownSwitches;

    // `arguments` without the program name.
    static CGuiCommandLine Parse(const QStringList& arguments);
};
