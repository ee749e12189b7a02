#pragma once

#include <QObject>
#include <cstdint>

class QLineEdit;

// The numeric key filter shared by the program's number boxes.
namespace numOnly
{

// Looks at one typed character for the text box in app().keyFilterBox (set
// it first): digits and backspace pass, one "." passes when allowDot is 1 and
// the box holds none yet, everything else is swallowed by setting keyAscii to 0.
void filterNumKey(int& keyAscii, int16_t allowDot);

// Delivers a line edit's focus changes and typed characters as the classic
// text box events the form handlers are written against, and keeps the box to
// digits whatever road text takes into it (paste, drag and drop, input
// methods), since only typed characters reach a KeyPress handler.
class NumBoxEvents : public QObject
{
    Q_OBJECT
public:
    explicit NumBoxEvents(QLineEdit* box);

signals:
    void gotFocus();
    void lostFocus();
    // Set keyAscii to 0 to swallow the character, to another code to type that instead.
    void keyPress(int& keyAscii);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool typed(const QString& text);

    QLineEdit* box_;
};

}  // namespace numOnly
