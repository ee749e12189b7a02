#include "ui/qt/TextBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QValidator>

namespace ui::qt
{
namespace
{

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Pasted, dropped and composed text never passes the key filter, so whatever
// arrives whole is cut down to its digits here.
class DigitsOnly : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        QString kept;
        int keptPos = 0;
        for (qsizetype i = 0; i < input.size(); ++i)
        {
            if (!isDigit(input.at(i)))
                continue;
            kept += input.at(i);
            if (i < pos)
                ++keptPos;
        }
        input = kept;
        pos = keptPos;
        return Acceptable;
    }
};

// Switching windows and opening the box's context menu move the keyboard focus
// without the user leaving the box: the classic events stay silent then, or a
// paste from the menu would be range-checked before it happened.
bool userMovedFocus(const QEvent* event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

TextBox::TextBox(QWidget* parent) : Bound(parent) { installEventFilter(this); }

void TextBox::setDigitsOnly(bool digitsOnly) { setValidator(digitsOnly ? new DigitsOnly(this) : nullptr); }

bool TextBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != this)
        return false;
    switch (event->type())
    {
        case QEvent::FocusIn:
            if (userMovedFocus(event) && onGotFocus)
                onGotFocus();
            return false;
        case QEvent::FocusOut:
            if (userMovedFocus(event) && onLostFocus)
                onLostFocus();
            return false;
        case QEvent::KeyPress:
        {
            const auto* key = static_cast<const QKeyEvent*>(event);
            // Shortcuts (copy, paste, undo) edit rather than type, and Tab moves
            // on; what a shortcut brings in is still held to digits by the validator.
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
                return false;
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                return false;
            // Delete edits like the arrows do; the platform gives it the text
            // U+007F, but it types no character, so the filter never sees it.
            if (key->key() == Qt::Key_Delete)
                return false;
            return typed(key->text());
        }
        default:
            return false;
    }
}

// Hands each typed character to the KeyPress handler; true when the box must
// not see the key because the handler swallowed or replaced something.
bool TextBox::typed(const QString& text)
{
    if (text.isEmpty() || !onKeyPress)
        return false;
    QString kept;
    for (const QChar c : text)
    {
        int code = c.unicode();
        onKeyPress(code);
        if (code > 0 && code <= 0xFFFF)
            kept += QChar(char16_t(code));
    }
    if (kept == text)
        return false;
    for (const QChar c : kept)
    {
        if (c == QLatin1Char('\b'))
            backspace();
        else
            insert(QString(c));
    }
    return true;
}

}  // namespace ui::qt
