#include "UiHelpers.h"

#include "PictureBox.h"
#include "Tavrinmain.h"
#include "start.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdlib>
#include <cmath>
#include <vector>

namespace
{

// Bumped at the end of every test, so a watcher whose window never came does
// not answer a window of a later test.
int watchGeneration = 0;

// Polls for the modal window; gives up after a generous number of tries so a
// test whose window never opens fails instead of hanging.
void poll(std::function<void(QWidget*)> action, int triesLeft, int generation)
{
    if (generation != watchGeneration)
        return;
    QWidget* w = QApplication::activeModalWidget();
    if (w && w->isVisible())
    {
        action(w);
        return;
    }
    if (triesLeft > 0)
        QTimer::singleShot(5, [action, triesLeft, generation] { poll(action, triesLeft - 1, generation); });
}

}  // namespace

Tavrinmain* programWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<Tavrinmain*>(w))
            return main;
    return nullptr;
}

void start::resetForTest()
{
    delete programWindow();
    app() = AppState{};
}

void onNextModal(std::function<void(QWidget*)> action)
{
    const int generation = watchGeneration;
    QTimer::singleShot(0, [action, generation] { poll(action, 2000, generation); });
}

void cancelModalWatchers() { ++watchGeneration; }

void answerNextMessageBox(QMessageBox::StandardButton button, MessageBoxSeen* seen)
{
    onNextModal(
        [button, seen](QWidget* w)
        {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box)
            {
                w->close();
                return;
            }
            if (seen)
            {
                seen->shown = true;
                seen->title = box->windowTitle();
                seen->text = box->text();
                seen->buttons = box->standardButtons();
                seen->defaultButton =
                    box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
                seen->icon = box->icon();
            }
            if (QAbstractButton* b = box->button(button))
                b->click();
            else
                box->reject();
        });
}

namespace
{

template <class F>
void forEachPixel(const PictureBox* box, double x, double y, double w, double h, F f)
{
    const QImage& img = box->image();
    const int x0 = int(std::lround(x / box->twipsPerPixelX()));
    const int y0 = int(std::lround(y / box->twipsPerPixelY()));
    const int x1 = int(std::lround((x + w) / box->twipsPerPixelX()));
    const int y1 = int(std::lround((y + h) / box->twipsPerPixelY()));
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px)
            if (img.rect().contains(px, py))
                f(img.pixel(px, py) & 0xFFFFFFu);
}

}  // namespace

bool cellHasColour(const PictureBox* box, double x, double y, double w, double h, unsigned rgb)
{
    bool found = false;
    forEachPixel(box, x, y, w, h, [&](unsigned p) { found = found || p == rgb; });
    return found;
}

double cellShare(const PictureBox* box, double x, double y, double w, double h, unsigned rgb)
{
    int hit = 0, all = 0;
    forEachPixel(box, x, y, w, h,
                 [&](unsigned p)
                 {
                     ++all;
                     hit += p == rgb;
                 });
    return all ? double(hit) / all : 0.0;
}

bool printedAt(const PictureBox* box, double x, double y, const QString& text, unsigned rgb)
{
    PictureBox ref;
    ref.setFont(box->font());
    ref.resize(box->size());
    ref.Cls();
    ref.setForeColor(0xFFFFFF);
    ref.PSet(x, y);
    ref.setForeColor(rgb);
    ref.Print(text);
    std::vector<unsigned> shown, expected;
    const double w = ref.TextWidth(text), h = ref.TextHeight();
    forEachPixel(box, x, y, w, h, [&](unsigned p) { shown.push_back(p); });
    forEachPixel(&ref, x, y, w, h, [&](unsigned p) { expected.push_back(p); });
    return !expected.empty() && shown == expected;
}

void saveShot(QWidget* w, const char* name)
{
    const char* dir = std::getenv("TAVRIN_SHOTS_DIR");
    if (!dir || !*dir)
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name) +
                   QStringLiteral(".png"));
}
