#include "ui/Backend.h"

#include <cmath>
#include <cstdlib>

namespace ui
{
namespace
{

Backend* current = nullptr;

}  // namespace

Backend& backend()
{
    // Forms made before a back end exists would go nowhere; that is a fault of
    // the entry code, not something to survive.
    if (!current)
        std::abort();
    return *current;
}

void setBackend(Backend* b) { current = b; }

uint32_t PictureBox::pixelAtTwips(double x, double y) const
{
    const int px = int(std::lround(x / twipsPerPixelX())), py = int(std::lround(y / twipsPerPixelY()));
    if (px < 0 || py < 0 || px >= pixelWidth() || py >= pixelHeight())
        return 0;
    return pixel(px, py);
}

}  // namespace ui
