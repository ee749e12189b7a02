#pragma once

#include "ui/qt/Bound.h"

#include <QPushButton>

namespace ui::qt
{

// The forms' command button: Enter (or Return), like Space, presses the button
// that has the keyboard focus, in the main window as in the dialogs. It is
// never a dialog's default button unless the form makes it one, so Enter with
// the focus elsewhere presses nothing.
class CommandButton : public Bound<QPushButton, ui::CommandButton>
{
public:
    explicit CommandButton(QWidget* parent = nullptr);

    void setText(const std::string& text) override { QPushButton::setText(toQ(text)); }
    std::string text() const override { return fromQ(QPushButton::text()); }
    void setDefault(bool isDefault) override { QPushButton::setDefault(isDefault); }
    bool isDefault() const override { return QPushButton::isDefault(); }

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace ui::qt
