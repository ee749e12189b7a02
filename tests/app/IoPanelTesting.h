#pragma once

#include "AppFixture.h"
#include "Module2.h"
#include "PictureBox.h"
#include "UiHelpers.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

// What a readout must look like: `text` alone, in black, printed at (x, 50)
// on a clean box of the same size and font.
inline QImage readoutPicture(const PictureBox* like, double x, const QString& text)
{
    PictureBox ref;
    ref.setFont(like->font());
    ref.resize(like->size());
    ref.Cls();
    ref.setForeColor(kBlack);
    ref.CurrentX = x;
    ref.CurrentY = 50;
    ref.Print(text);
    return ref.image();
}

// While it lives, every modal window that opens is seen, handed to `onOpen`,
// and then answered: a message box with `answer`, any other window closed. A
// test that expects no window counts them; one that opens an unexpected
// window fails instead of hanging, and no watch outlives its test.
class ModalWatch
{
public:
    using Action = std::function<void(QWidget*)>;

    explicit ModalWatch(QMessageBox::StandardButton answer = QMessageBox::Ok, Action onOpen = {})
        : answer_(answer), onOpen_(std::move(onOpen))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(2);
    }

    std::vector<MessageBoxSeen> boxes;  // every message box, in order of opening
    int windows = 0;                    // every modal window, message boxes included

private:
    void poll()
    {
        QPointer<QWidget> w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        ++windows;
        auto* box = qobject_cast<QMessageBox*>(w.data());
        if (box)
        {
            MessageBoxSeen seen;
            seen.shown = true;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.buttons = box->standardButtons();
            seen.defaultButton =
                box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
            seen.icon = box->icon();
            boxes.push_back(seen);
        }
        if (onOpen_)
            onOpen_(w);
        if (!w || !w->isVisible())
            return;
        if (box && box->button(answer_))
            box->button(answer_)->click();
        else
            w->close();
    }

    QMessageBox::StandardButton answer_;
    Action onOpen_;
    QTimer timer_;
};

// The program started with two chips, the window active so that focus moves
// as a user's clicks and Tab presses move it.
class IoPanelFixture : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        w = &startProgram();
        QApplication::setActiveWindow(w);
    }

    // Selects chip `chip` (1-based) and forgets the calls the selection made.
    void selectChip(int chip)
    {
        clickChip(chip - 1);
        lib().calls.clear();
    }

    Tavrinmain* w = nullptr;
};
