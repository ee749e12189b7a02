#include "numOnly.h"

#include "start.h"
#include "ui/Controls.h"

#include <algorithm>

namespace numOnly
{

void filterNumKey(int& keyAscii, int16_t allowDot)
{
    constexpr int kBackspace = 8;
    const ui::TextBox* box = app().keyFilterBox;
    const std::string text = box ? box->text() : std::string();
    const auto dots = std::count(text.begin(), text.end(), '.');
    if (keyAscii >= '0' && keyAscii <= '9')
        return;
    if (keyAscii == kBackspace)
        return;
    if (keyAscii == '.' && allowDot == 1 && dots == 0)
        return;
    keyAscii = 0;
}

}  // namespace numOnly
