#pragma once

#include "AppFixture.h"
#include "Module2.h"
#include "UiHelpers.h"
#include "WriteDialog.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <functional>
#include <memory>

// Drives the write dialogs as a user does: clicks in the dump, double-clicks to
// open a dialog, clicks and keys in its entry field, presses its buttons.
class WriteDialogFixture : public AppFixture
{
protected:
    void TearDown() override
    {
        *live_ = false;
        AppFixture::TearDown();
    }

    // Runs `action` on the dialog once it is open. A dialog the action leaves
    // open is closed, so a failing test cannot hang; a watch whose dialog never
    // opened stays idle in later tests.
    template <class Form>
    void whenOpen(std::function<void(Form&)> action)
    {
        opened_ = false;
        onNextModal(
            [this, live = live_, action](QWidget* w)
            {
                if (!*live)
                    return;
                if (Form* form = qobject_cast<Form*>(w))
                {
                    opened_ = true;
                    // Keys typed "at the focus" need the dialog to be the active window.
                    EXPECT_TRUE(QTest::qWaitForWindowActive(form));
                    action(*form);
                }
                if (w->isVisible())
                    w->close();
            });
    }
    bool opened() const { return opened_; }

    static QPoint atTwips(const PictureBox* box, double x, double y)
    {
        return QPoint(int(x / box->twipsPerPixelX()), int(y / box->twipsPerPixelY()));
    }

    static void clickTwips(PictureBox* box, double x, double y, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(box, button, {}, atTwips(box, x, y));
    }

    // Middle of digit `digit` (1 = leftmost) of a field printed from originX.
    static void clickDigit(PictureBox* box, double originX, int digit)
    {
        const AppState& s = app();
        clickTwips(box, originX + (digit - 0.5) * s.cellWidth, 100 + s.cellHeight / 2.0);
    }

    // A user's double-click on a dump cell: the press moves the cursor there,
    // the double-click opens the dialog.
    static void doubleClickCell(PictureBox* box, int row, int column, int cells)
    {
        const AppState& s = app();
        const QPoint p = atTwips(box, (column + cells / 2.0) * s.cellWidth, (row + 0.5) * s.cellHeight);
        QTest::mouseClick(box, Qt::LeftButton, {}, p);
        QTest::mouseDClick(box, Qt::LeftButton, {}, p);
    }

    // The byte at `offset` of the configuration or mode register dump.
    static void doubleClickByte(int offset)
    {
        doubleClickCell(Tavrinmain::instance().picDump, offset / 4 + 1, 3 + 3 * (3 - offset % 4), 2);
    }

    // EEPROM word `word`: 00-1F on picDump, 20-3F on picDump2; the odd word of
    // each pair stands left.
    static void doubleClickWord(int word)
    {
        Tavrinmain& w = Tavrinmain::instance();
        doubleClickCell(word < 32 ? w.picDump : w.picDump2, (word % 32) / 2 + 1, word % 2 ? 3 : 9, 5);
    }

    // The picture a field must show: `text` printed from originX, with digit
    // `digit` boxed in green (0: none), drawn on a blank box of the same size.
    static QImage fieldPicture(const PictureBox* like, double originX, const QString& text, int digit)
    {
        const AppState& s = app();
        PictureBox ref;
        ref.setFont(like->font());
        ref.resize(like->size());
        ref.Cls();
        if (digit > 0)
        {
            const double left = originX + (digit - 1) * s.cellWidth;
            ref.FillBox(left, 100, left + s.cellWidth, 100 + s.cellHeight, 0x00FF00);
        }
        ref.setForeColor(kWhite);
        ref.PSet(originX, 100);
        ref.setForeColor(kBlack);
        ref.Print(text);
        return ref.image();
    }

    static bool shows(const PictureBox* box, double originX, const QString& text, int digit)
    {
        return box->image() == fieldPicture(box, originX, text, digit);
    }

    // Where the focus goes on each press of Tab, starting from the focus the
    // dialog opened with.
    static QList<QWidget*> tabStops(QWidget* dialog, int presses)
    {
        QList<QWidget*> stops{dialog->focusWidget()};
        for (int i = 0; i < presses; ++i)
        {
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            stops << dialog->focusWidget();
        }
        return stops;
    }

    static bool dialogIsGone()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<WriteDialog*>(w))
                return false;
        return QApplication::activeModalWidget() == nullptr;
    }

private:
    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
    bool opened_ = false;
};
