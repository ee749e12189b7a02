// The Qt application and back end the app fuzz targets drive the real widgets in: created
// once per process, off-screen, with the program's fonts, and with the cell
// size of the dump font set as the program's start-up sets it.
#pragma once

#include "Tavrinmain.h"
#include "start.h"
#include "ui/qt/PictureBox.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/fonts.h"

#include <QApplication>
#include <cmath>
#include <cstdlib>

namespace fuzz
{

inline QApplication& offscreenApp()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* a = []
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto* created = new QApplication(argc, argv);
        ui::qt::installFontSubstitutes();
        static ui::qt::QtBackend backend;
        ui::setBackend(&backend);
        AppState& s = app();
        const ui::PictureBox* dump = Tavrinmain::instance().picDump;
        s.cellWidth = int16_t(std::nearbyint(dump->TextWidth("0")));
        s.cellHeight = int16_t(std::nearbyint(dump->TextHeight()));
        return created;
    }();
    return *a;
}

}  // namespace fuzz
