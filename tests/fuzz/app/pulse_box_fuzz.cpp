// The main window's pulse-count box fed typed keys, editing keys, pastes,
// drops, composed text and focus changes as real Qt events. Whatever road
// text takes, the box holds nothing but digits; when the focus leaves it, it
// holds a count of at most 65535, since a count out of range or an empty box
// is refused then and the last good one put back. Leading zeros count for
// nothing, so "00100" and "055100" are counts the box may keep.
#include "offscreen_app.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <cstdio>

namespace
{

[[noreturn]] void finding(const char* what, const QString& text)
{
    std::fprintf(stderr, "finding: %s: \"%s\"\n", what, text.toUtf8().constData());
    std::abort();
}

QString fuzzedText(FuzzedDataProvider& in)
{
    static constexpr char16_t kChars[] = u"0123456789.-+eE aZ\b\x7f\t\n\x0660\xFF10\xFF19";
    QString text;
    const int n = in.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < n; ++i)
        text += in.ConsumeBool() ? QChar(kChars[in.ConsumeIntegralInRange<size_t>(0, std::size(kChars) - 2)])
                                 : QChar(char16_t(in.ConsumeIntegral<uint16_t>()));
    return text;
}

void send(QWidget* w, QEvent* e) { QApplication::sendEvent(w, e); }

void key(QWidget* w, int k, Qt::KeyboardModifiers mods, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    send(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    send(w, &release);
}

// The refusal's message box runs its own event loop; it is answered from there.
void answerMessageBoxes()
{
    QTimer::singleShot(0,
                       []
                       {
                           if (QWidget* w = QApplication::activeModalWidget())
                               w->close();
                       });
}

void act(QLineEdit* box, FuzzedDataProvider& in)
{
    static constexpr int kEditKeys[] = {Qt::Key_Home,   Qt::Key_End,       Qt::Key_Left, Qt::Key_Right,
                                        Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_A,    Qt::Key_Z,
                                        Qt::Key_Y,      Qt::Key_X,         Qt::Key_C,    Qt::Key_V};
    switch (in.ConsumeIntegralInRange<int>(0, 7))
    {
        case 0:
        case 1:
        {
            // A typed character, as the platform delivers it with its text.
            const QString text = fuzzedText(in).left(1);
            const int k = text.isEmpty() ? Qt::Key_unknown : text.at(0).toUpper().unicode();
            key(box, k, in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier, text);
            break;
        }
        case 2:
        {
            // Editing keys and shortcuts; Delete and BackSpace carry their
            // control characters as text, as a real keyboard gives them.
            const int k = in.PickValueInArray(kEditKeys);
            const bool control = in.ConsumeBool();
            QString text;
            if (k == Qt::Key_Delete)
                text = QStringLiteral("\x7f");
            else if (k == Qt::Key_Backspace)
                text = QStringLiteral("\b");
            else if (control)
                text = QChar(char16_t(k - Qt::Key_A + 1));
            key(box, k, control ? Qt::ControlModifier : Qt::NoModifier, text);
            break;
        }
        case 3:
            QGuiApplication::clipboard()->setText(fuzzedText(in));
            key(box, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
            break;
        case 4:
        {
            QMimeData mime;
            mime.setText(fuzzedText(in));
            const QPointF at(in.ConsumeIntegralInRange<int>(0, box->width()), box->height() / 2.0);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            send(box, &drop);
            break;
        }
        case 5:
        {
            QInputMethodEvent composed;
            composed.setCommitString(fuzzedText(in));
            send(box, &composed);
            break;
        }
        case 6:
        {
            QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
            send(box, &in);
            break;
        }
        default:
        {
            // The user leaving the box, the one moment its count is checked.
            answerMessageBoxes();
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            send(box, &out);
            const QString text = box->text();
            bool ok = false;
            const int count = text.toInt(&ok);
            if (text.isEmpty() || !ok || count > 65535)
                finding("the box kept a count it cannot hold", text);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::offscreenApp();
    auto* box = static_cast<QLineEdit*>(ui::qt::widgetOf(Tavrinmain::instance().txtPls));
    box->setText(QStringLiteral("100"));
    app().pulseCount = 100;
    FuzzedDataProvider in(data, size);
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step)
    {
        act(box, in);
        const QString text = box->text();
        for (QChar c : text)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                finding("the box holds something other than digits", text);
        if (app().pulseCount < 0 || app().pulseCount > 65535)
            finding("the remembered count is out of range", QString::number(app().pulseCount));
    }
    return 0;
}
