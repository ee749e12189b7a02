#include "ui/qt/CommandButton.h"

#include <QKeyEvent>

namespace ui::qt
{

CommandButton::CommandButton(QWidget* parent) : Bound(parent)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this,
            [this]
            {
                if (onClick)
                    onClick();
            });
}

void CommandButton::keyPressEvent(QKeyEvent* e)
{
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier)
    {
        click();
        return;
    }
    QPushButton::keyPressEvent(e);
}

}  // namespace ui::qt
