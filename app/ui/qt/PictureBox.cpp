#include "ui/qt/PictureBox.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace ui::qt
{
namespace
{

int vbButton(Qt::MouseButton b)
{
    switch (b)
    {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

int vbShift(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

// Handlers speak in the classic key codes; only the arrows, space, digits and
// letters have one here, every other key arrives as 0. Punctuation must not
// keep its character code: '%', '&', '\'' and '(' would pass for the arrows.
int vbKeyCode(int qtKey)
{
    switch (qtKey)
    {
        case Qt::Key_Left:
            return vbKeyLeft;
        case Qt::Key_Up:
            return vbKeyUp;
        case Qt::Key_Right:
            return vbKeyRight;
        case Qt::Key_Down:
            return vbKeyDown;
        default:
        {
            const bool classic = qtKey == Qt::Key_Space || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) ||
                                 (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z);
            return classic ? qtKey : 0;
        }
    }
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : Bound(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

double PictureBox::twipsPerPixelX() const { return 1440.0 / logicalDpiX(); }
double PictureBox::twipsPerPixelY() const { return 1440.0 / logicalDpiY(); }
int PictureBox::toPxX(double twips) const { return int(std::lround(twips / twipsPerPixelX())); }
int PictureBox::toPxY(double twips) const { return int(std::lround(twips / twipsPerPixelY())); }

void PictureBox::ensureImage()
{
    const QSize want = size().expandedTo(QSize(1, 1));
    if (image_.size() == want)
        return;
    QImage grown(want, QImage::Format_RGB32);
    grown.fill(Qt::white);
    if (!image_.isNull())
    {
        QPainter p(&grown);
        p.drawImage(0, 0, image_);
    }
    image_ = grown;
}

void PictureBox::resizeEvent(QResizeEvent*) { ensureImage(); }

void PictureBox::Cls()
{
    ensureImage();
    image_.fill(Qt::white);
    CurrentX = 0;
    CurrentY = 0;
    update();
}

void PictureBox::setForeColor(uint32_t rgb) { fore_ = rgb | 0xFF000000; }

void PictureBox::setDrawMode(int mode) { drawMode_ = mode; }

double PictureBox::TextWidth(const std::string& text) const
{
    return QFontMetricsF(font(), this).horizontalAdvance(toQ(text)) * twipsPerPixelX();
}

double PictureBox::TextHeight() const
{
    // The em height in twips is the point size times 20, whatever the DPI.
    return font().pointSizeF() * 20.0;
}

void PictureBox::Print(const std::string& text)
{
    ensureImage();
    QPainter p(&image_);
    // Solid pixels in exactly the pen's colour, as on the classic canvas: the
    // digits must stay black on the green cursor, not blended with it.
    QFont f = font();
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    p.setPen(QColor::fromRgb(fore_));
    // Centre the font's natural line in the em-high row so the digits sit
    // inside the cell a cursor box covers.
    const QFontMetricsF fm(font(), this);
    const double emPx = TextHeight() / twipsPerPixelY();
    const double top = CurrentY / twipsPerPixelY() - (fm.height() - emPx) / 2.0;
    p.drawText(QPointF(CurrentX / twipsPerPixelX(), top + fm.ascent()), toQ(text));
    CurrentX = 0;
    CurrentY += TextHeight();
    // Only the printed line is shown again (a pixel of slack on each side):
    // a cursor step must not repaint the whole box.
    update(QRect(0, int(std::floor(top)) - 1, width(), int(std::ceil(fm.height())) + 3));
}

void PictureBox::PSet(double x, double y)
{
    ensureImage();
    const int px = toPxX(x), py = toPxY(y);
    if (image_.rect().contains(px, py))
        image_.setPixel(px, py, fore_);
    CurrentX = x;
    CurrentY = y;
    update(QRect(px, py, 1, 1));
}

void PictureBox::FillBox(double x1, double y1, double x2, double y2, uint32_t rgb)
{
    ensureImage();
    const QRect r(QPoint(toPxX(std::min(x1, x2)), toPxY(std::min(y1, y2))),
                  QPoint(toPxX(std::max(x1, x2)) - 1, toPxY(std::max(y1, y2)) - 1));
    QPainter p(&image_);
    p.fillRect(r, QColor::fromRgb(rgb | 0xFF000000));
    CurrentX = x2;
    CurrentY = y2;
    update(r);
}

void PictureBox::Refresh() { repaint(); }

uint32_t PictureBox::pixel(int x, int y) const
{
    if (!image_.rect().contains(x, y))
        return 0;
    return image_.pixel(x, y) & 0xFFFFFF;
}

Picture PictureBox::picture() const
{
    Picture p{image_.width(), image_.height(), {}};
    p.pixels.reserve(std::size_t(p.width) * std::size_t(p.height));
    for (int y = 0; y < p.height; ++y)
    {
        const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
        for (int x = 0; x < p.width; ++x)
            p.pixels.push_back(line[x] & 0xFFFFFF);
    }
    return p;
}

void PictureBox::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    // Only what changed is copied; the backing image covers the box once it
    // has its size, before that the box is white.
    const QRect dirty = e->rect();
    if (!image_.rect().contains(dirty))
        p.fillRect(dirty, Qt::white);
    p.drawImage(dirty.topLeft(), image_, dirty);
    // The box's fixed single border, drawn over the edge of the drawing area.
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PictureBox::mousePressEvent(QMouseEvent* e)
{
    QWidget::setFocus(Qt::MouseFocusReason);
    const QPointF pos = e->position();
    if (onMouseDown)
        onMouseDown(vbButton(e->button()), vbShift(e->modifiers()), float(pos.x() * twipsPerPixelX()),
                    float(pos.y() * twipsPerPixelY()));
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent*)
{
    if (onDblClick)
        onDblClick();
}

void PictureBox::keyPressEvent(QKeyEvent* e)
{
    const int code = vbKeyCode(e->key());
    if (onKeyDown)
        onKeyDown(code, vbShift(e->modifiers()));
    const QString text = e->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 0x20 && text.at(0).unicode() < 0x7F && onKeyPress)
        onKeyPress(text.at(0).unicode());
}

void PictureBox::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    if (onGotFocus)
        onGotFocus();
}

}  // namespace ui::qt
