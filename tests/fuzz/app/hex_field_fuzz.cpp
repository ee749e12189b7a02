// The hex entry field of the four write dialogs fed key, click and step
// sequences through real Qt events on picData. After every event the value
// stays within the field's width, a digit once chosen stays chosen, and the
// box shows exactly the value with the green box on the chosen digit (none
// before the first choice), as a box drawn from the field's geometry does.
#include "offscreen_app.h"

#include "frmConWr.h"
#include "frmEepWr.h"
#include "frmModeWr.h"
#include "frmOutpWr.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdio>
#include <memory>

namespace
{

[[noreturn]] void finding(const char* what, int value, int digit)
{
    std::fprintf(stderr, "finding: %s (value 0x%X, digit %d)\n", what, value, digit);
    std::abort();
}

// The picture the field must show, from its geometry alone.
QImage expectedPicture(const ui::qt::PictureBox* like, double originX, int digits, int value, int digit)
{
    const AppState& s = app();
    ui::qt::PictureBox ref;
    ref.setFont(like->font());
    ref.resize(like->size());
    ref.Cls();
    if (digit > 0)
    {
        const double left = originX + (digit - 1) * s.cellWidth;
        ref.FillBox(left, 100, left + s.cellWidth, 100 + s.cellHeight, 0x00FF00);
    }
    ref.setForeColor(0xFFFFFF);
    ref.PSet(originX, 100);
    ref.setForeColor(0);
    ref.Print(QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0')).toStdString());
    return ref.image();
}

void sendKey(QWidget* w, FuzzedDataProvider& in)
{
    static constexpr int kKeys[] = {Qt::Key_Left, Qt::Key_Right,  Qt::Key_Up,  Qt::Key_Down,     Qt::Key_Home,
                                    Qt::Key_End,  Qt::Key_Return, Qt::Key_Tab, Qt::Key_Backspace};
    static constexpr char kChars[] = "0123456789abcdefABCDEFgxz .-";
    Qt::KeyboardModifiers mods;
    if (in.ConsumeBool())
        mods = Qt::KeyboardModifiers(in.ConsumeIntegral<uint8_t>() << 24) & Qt::KeyboardModifierMask;
    int key;
    QString text;
    switch (in.ConsumeIntegralInRange<int>(0, 2))
    {
        case 0:
            key = in.PickValueInArray(kKeys);
            break;
        case 1:
        {
            const char c = kChars[in.ConsumeIntegralInRange<size_t>(0, sizeof kChars - 2)];
            key = QChar(c).toUpper().unicode();
            text = QString(QChar(c));
            break;
        }
        default:
            key = in.ConsumeIntegral<uint16_t>();
            text = QString(QChar(char16_t(in.ConsumeIntegral<uint16_t>())));
            break;
    }
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
}

void sendClick(ui::qt::PictureBox* box, FuzzedDataProvider& in)
{
    static constexpr Qt::MouseButton kButtons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton,
                                                   Qt::BackButton};
    // Anywhere in the box and a little beyond it.
    const QPointF at(in.ConsumeIntegralInRange<int>(-8, box->width() + 8) +
                         in.ConsumeIntegral<uint8_t>() / 256.0,
                     in.ConsumeIntegralInRange<int>(-8, box->height() + 8));
    const Qt::MouseButton button = in.PickValueInArray(kButtons);
    QMouseEvent press(QEvent::MouseButtonPress, at, box->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
}

struct Opened
{
    std::unique_ptr<WriteDialog> dialog;
    int digits;
    double originX;
};

Opened open(FuzzedDataProvider& in)
{
    AppState& s = app();
    const int32_t value = in.ConsumeIntegral<uint16_t>();
    s.editAddr = in.ConsumeIntegralInRange<int32_t>(0, 0x43);
    s.editData = value & 0xFF;
    s.outpValue = uint8_t(value);
    switch (in.ConsumeIntegralInRange<int>(0, 3))
    {
        case 0:
        {
            auto f = std::make_unique<frmConWr>(Tavrinmain::instance());
            f->Form_Load();
            return {std::move(f), 2, 300};
        }
        case 1:
        {
            auto f = std::make_unique<frmModeWr>(Tavrinmain::instance());
            f->Form_Load();
            return {std::move(f), 2, 300};
        }
        case 2:
        {
            auto f = std::make_unique<frmOutpWr>(Tavrinmain::instance());
            f->Form_Load();
            return {std::move(f), 2, 300};
        }
        default:
        {
            s.editData = value;
            auto f = std::make_unique<frmEepWr>(Tavrinmain::instance());
            f->Form_Load();
            return {std::move(f), 4, 200};
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::offscreenApp();
    FuzzedDataProvider in(data, size);
    Opened o = open(in);
    auto* box = dynamic_cast<ui::qt::PictureBox*>(o.dialog->picData);
    const HexField& field = o.dialog->field();
    const int32_t limit = (1 << (4 * o.digits)) - 1;
    bool chosen = false;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step)
    {
        if (in.ConsumeIntegralInRange<int>(0, 3) == 0)
            sendClick(box, in);
        else
            sendKey(box, in);
        const int32_t value = field.dataValue();
        const int digit = field.digitPos();
        if (value < 0 || value > limit)
            finding("value outside the field's width", value, digit);
        if (digit < 0 || digit > o.digits || (chosen && digit == 0))
            finding("no digit or a digit outside the field chosen", value, digit);
        chosen = digit != 0;
        if (box->image() != expectedPicture(box, o.originX, o.digits, value, digit))
            finding("the box does not show the value with the green box on the chosen digit", value, digit);
    }
    return 0;
}
