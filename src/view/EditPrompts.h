#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

// How the editing commands ask the user. Each command holds these as replaceable
// functions, so that tests can answer without modal windows.

// Shows a one-line input with `title`, `prompt` and at most `maxLength` characters,
// starting from `text`; true on OK, with the entered text in `text`.
using CTextPrompt = std::function<bool(
    const QString& title, const QString& prompt, int maxLength, QString& text)>;

// Runs a modal sheet or dialog; true when it was finished with OK/Finish.
using CSheetRunner = std::function<bool(QDialog& sheet)>;

CTextPrompt DefaultTextPrompt(QWidget* parent);
CSheetRunner DefaultSheetRunner();
