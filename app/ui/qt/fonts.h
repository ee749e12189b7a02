#pragma once

#include <QFont>

namespace ui::qt
{

// The two families the forms are designed in. Where the machine does not have
// them, the IPA families with the same metrics stand in (see installFontSubstitutes).
inline constexpr const char* kGothic = "ＭＳ ゴシック";     // fixed pitch: dumps, readouts, entry fields
inline constexpr const char* kPGothic = "ＭＳ Ｐゴシック";  // proportional: labels, frames, buttons

// Registers IPAGothic / IPAPGothic as substitutes so the hex columns stay
// fixed-pitch; without it fontconfig picks a proportional Latin font.
void installFontSubstitutes();

QFont gothicFont(double pointSize = 11.25);
QFont pgothicFont(double pointSize = 9.0);

}  // namespace ui::qt
