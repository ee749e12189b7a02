#pragma once

#include "ui/qt/Bound.h"

#include <QLineEdit>

namespace ui::qt
{

// The text box on a QLineEdit. Its focus changes and typed characters arrive
// as the classic text box events the form handlers are written against.
class TextBox : public Bound<QLineEdit, ui::TextBox>
{
public:
    explicit TextBox(QWidget* parent = nullptr);

    void setText(const std::string& text) override { QLineEdit::setText(toQ(text)); }
    std::string text() const override { return fromQ(QLineEdit::text()); }
    void setDigitsOnly(bool digitsOnly) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool typed(const QString& text);
};

}  // namespace ui::qt
