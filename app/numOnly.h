#pragma once

#include <cstdint>

// The numeric key filter shared by the program's number boxes.
namespace numOnly
{

// Looks at one typed character for the text box in app().keyFilterBox (set
// it first): digits and backspace pass, one "." passes when allowDot is 1 and
// the box holds none yet, everything else is swallowed by setting keyAscii to 0.
void filterNumKey(int& keyAscii, int16_t allowDot);

}  // namespace numOnly
