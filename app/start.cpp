#include "start.h"

#include "Module2.h"
#include "Tavrinmain.h"
#include "devctl/Module1.h"

#include "ui/Backend.h"

#include <cmath>
#include <string>

AppState& app()
{
    static AppState state;
    return state;
}

namespace start
{
namespace
{

void quitEventLoop(int code) { ui::backend().quit(code); }

EndFunction endFunction = quitEventLoop;

// Rounds halves to the even neighbour, as the cell measurement is defined.
int16_t roundHalfEven(double v) { return int16_t(std::nearbyint(v)); }

}  // namespace

void setEndFunction(EndFunction fn) { endFunction = fn ? fn : quitEventLoop; }

void endProgram(int code) { endFunction(code); }

bool Main()
{
    AppState& s = app();
    s.firstCursor = -1;
    s.regData.fill(0);
    s.eepData.fill(0);
    s.dumpKind = 0;
    s.editAddr = 0;
    s.outpValue = 0;
    s.intrHandle = 0;
    s.pulseCount = 100;

    Tavrinmain& w = Tavrinmain::instance();
    w.picDump2->setVisible(false);
    w.SSTab1->setTabCaption(1, std::string());

    s.cellWidth = roundHalfEven(w.picDump->TextWidth("0"));
    s.cellHeight = roundHalfEven(w.picDump->TextHeight());

    s.hdrDword = "   +3 +2 +1 +0";
    s.hdrWord = "    +1    +0  ";
    drawRegisterGrid(w.picDump, 0);

    if (Module1::lib.PciOpenDevice() == 0)
    {
        ui::backend().messageBox({kTitle, "Ｖｘｄをオープンできませんでした"});
        return false;
    }

    s.deviceCount = int16_t(Module1::lib.PciFindDevice());
    if (s.deviceCount != 0)
        w.setStatus("Orvelを" + std::to_string(s.deviceCount) + "個発見しました。");
    else
        w.setStatus("Orvelを発見できませんでした。");

    for (int32_t i = 1; i <= s.deviceCount; ++i)
    {
        Module1::lib.PciRegisterDevice(i);
        w.lstOrvel->addItem(std::to_string(i) + " - Orvel");
    }

    w.show();
    return true;
}

}  // namespace start
