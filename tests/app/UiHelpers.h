#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;
class PictureBox;
class Tavrinmain;

// The program's main window when start-up has created one, else nullptr.
Tavrinmain* programWindow();

namespace start
{
// Deletes the main window and gives the application state its zero values, so
// a test can start the program again in the same process.
void resetForTest();
}  // namespace start

// Runs `action` on the next modal window that opens (a message box or a
// dialog shown with exec), from inside that window's own event loop.
void onNextModal(std::function<void(QWidget*)> action);

// Forgets every watcher that has not found its window yet.
void cancelModalWatchers();

// What a message box showed, captured just before it is answered.
struct MessageBoxSeen
{
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with `button`, recording what it showed.
void answerNextMessageBox(QMessageBox::StandardButton button, MessageBoxSeen* seen);

// Text printed on a picture box row, recovered from its pixels is out of reach;
// these look at the drawing instead: does the cell hold any pixel of `rgb`?
bool cellHasColour(const PictureBox* box, double x, double y, double w, double h, unsigned rgb);
// Share of the cell's pixels that are exactly `rgb`.
double cellShare(const PictureBox* box, double x, double y, double w, double h, unsigned rgb);
// Does `box` show `text` in `rgb` with its top-left corner at (x, y)? Compares
// the text's own cell band with the same text printed there on a blank box of
// the same size and font.
bool printedAt(const PictureBox* box, double x, double y, const QString& text, unsigned rgb);

// Saves a picture of `w` as <name>.png into the folder named by the
// TAVRIN_SHOTS_DIR environment variable, when it is set (used to refresh the
// screenshots in docs/); does nothing otherwise.
void saveShot(QWidget* w, const char* name);
