#pragma once

#include "ui/Backend.h"

#include <QWidget>

class QAction;

namespace ui::qt
{

int twipsToPx(const QWidget* w, double twips);
void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips);

// The Qt back end: forms are QMainWindow or QDialog windows with their
// controls made from the form's table.
class QtBackend : public Backend
{
public:
    std::unique_ptr<Form> createForm(const FormDesign& design, const Form* parent = nullptr) override;
    Answer messageBox(const MessageBoxSpec& box) override;
    void quit(int code) override;
};

// What a test driver of this back end needs to reach behind the control layer.
QWidget* widgetOf(const Control* control);
QWidget* windowOf(const Form* form);
// The form a top-level window shows, nullptr for other windows.
Form* formOf(const QWidget* window);
QAction* actionOf(const MenuItem* item);

}  // namespace ui::qt
