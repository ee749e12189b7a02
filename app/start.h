#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ui
{
class TextBox;
}

// The process-wide state every window of the program shares. One instance,
// reached through app(); everything runs on the window thread, so no locking.
struct AppState
{
    std::string hdrDword;
    std::string hdrWord;
    std::array<std::string, 18> dumpRows;
    std::array<std::string, 18> dumpRows2;
    std::array<uint8_t, 68> regData{};
    std::array<uint8_t, 68> eepData{};
    float cursorX = 0;
    float cursorY = 0;
    int16_t cellWidth = 0;
    int16_t cellHeight = 0;
    int16_t firstCursor = 0;  // -1 true, 0 false
    int16_t deviceCount = 0;
    int16_t dumpKind = 0;  // 0 configuration registers, 1 mode registers, 2 EEPROM
    int32_t editAddr = 0;
    int32_t editData = 0;
    uint8_t outpValue = 0;
    int32_t intrHandle = 0;  // chip of the open counter interrupt, 0 when none
    ui::TextBox* keyFilterBox = nullptr;
    int32_t pulseCount = 100;
};

AppState& app();

namespace start
{

// The program's title: the caption of its message boxes.
inline constexpr const char* kTitle = "tavrin";

// The entry routine. Returns false when the library could not be opened and
// the program must end (the user has been told); true once the main window is
// shown and the program lives on its events.
bool Main();

// Ends the program at once: by default leaves the back end's event loop with `code`.
// Tests replace it to observe the exit instead of leaving.
using EndFunction = void (*)(int code);
void setEndFunction(EndFunction fn);
void endProgram(int code);

}  // namespace start
