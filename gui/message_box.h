// message_box.h - the dialog program's message boxes.
//
// Every box shows its text alone, without an icon, captioned with the application's name,
// owned by the main dialog (LinkState.mainDialog) when there is one; the first of its buttons
// is the default.
#pragma once

#include <QMessageBox>
#include <QString>
#include <initializer_list>

class QWidget;

// The executable's file name without directory and extension.
QString ApplicationName();

// The main dialog, owner of the boxes and of the prompt dialogs (nullptr before it opens).
QWidget* MainDialogWindow();

// Shows a modal box with the buttons in the given order and returns the one that closed it
// (the escape button for Esc and the close box).
QMessageBox::StandardButton ShowMessageBox(
    const QString& text, std::initializer_list<QMessageBox::StandardButton> buttons);

// A box with a single OK button.
void ShowMessage(const QString& text);
