#include "UiHelpers.h"

#include "Tavrinmain.h"
#include "start.h"
#include "ui/Controls.h"

#include <cmath>
#include <vector>

void start::resetForTest()
{
    delete programWindow();
    app() = AppState{};
}

namespace
{

template <class F>
void forEachPixel(const ui::PictureBox* box, double x, double y, double w, double h, F f)
{
    const int x0 = int(std::lround(x / box->twipsPerPixelX()));
    const int y0 = int(std::lround(y / box->twipsPerPixelY()));
    const int x1 = int(std::lround((x + w) / box->twipsPerPixelX()));
    const int y1 = int(std::lround((y + h) / box->twipsPerPixelY()));
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px)
            if (px >= 0 && py >= 0 && px < box->pixelWidth() && py < box->pixelHeight())
                f(box->pixel(px, py));
}

}  // namespace

bool cellHasColour(const ui::PictureBox* box, double x, double y, double w, double h, unsigned rgb)
{
    bool found = false;
    forEachPixel(box, x, y, w, h, [&](unsigned p) { found = found || p == rgb; });
    return found;
}

double cellShare(const ui::PictureBox* box, double x, double y, double w, double h, unsigned rgb)
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

double boxShare(const ui::PictureBox* box, unsigned rgb)
{
    return cellShare(box, 0, 0, box->pixelWidth() * box->twipsPerPixelX(),
                     box->pixelHeight() * box->twipsPerPixelY(), rgb);
}

bool printedAt(const ui::PictureBox* box, double x, double y, const std::string& text, unsigned rgb)
{
    const std::unique_ptr<ui::PictureBox> ref = driver::scratchLike(box);
    ref->setForeColor(0xFFFFFF);
    ref->PSet(x, y);
    ref->setForeColor(rgb);
    ref->Print(text);
    std::vector<unsigned> shown, expected;
    const double w = ref->TextWidth(text), h = ref->TextHeight();
    forEachPixel(box, x, y, w, h, [&](unsigned p) { shown.push_back(p); });
    forEachPixel(ref.get(), x, y, w, h, [&](unsigned p) { expected.push_back(p); });
    return !expected.empty() && shown == expected;
}
