#pragma once

#include "ui/Form.h"

#include <memory>
#include <string>

namespace ui
{

enum class Buttons
{
    Ok,
    OkCancel
};
enum class Icon
{
    None,
    Critical
};
enum class Answer
{
    None,
    Ok,
    Cancel
};

struct MessageBoxSpec
{
    std::string caption;
    std::string text;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer defaultButton = Answer::None;  // None: the back end's own choice
    const Form* parent = nullptr;         // the window it is centred on, if any
};

// What shows the forms: one per process, set by the program's entry (or a
// test's) before the first form is made.
class Backend
{
public:
    virtual ~Backend() = default;

    // A form laid out from its design; `parent`, when given, is the window the
    // form belongs to (it stays above it), not one whose input it blocks.
    virtual std::unique_ptr<Form> createForm(const FormDesign& design, const Form* parent = nullptr) = 0;
    // Shows the message box modally; the answer is the button pressed.
    virtual Answer messageBox(const MessageBoxSpec& box) = 0;
    // Leaves the program's event loop with `code`.
    virtual void quit(int code) = 0;
};

Backend& backend();
void setBackend(Backend* backend);

}  // namespace ui
