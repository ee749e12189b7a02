#pragma once

#include <QPushButton>

// The forms' command button: Enter (or Return), like Space, presses the button
// that has the keyboard focus, in the main window as in the dialogs. It is
// never a dialog's default button unless the form makes it one, so Enter with
// the focus elsewhere presses nothing.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;
};
