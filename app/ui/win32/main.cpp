#include "Tavrinmain.h"
#include "start.h"
#include "ui/win32/Win32Backend.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ui::win32::Win32Backend backend;
    ui::setBackend(&backend);
    int code = 1;
    if (start::Main())
        code = backend.run();
    delete &Tavrinmain::instance();
    return code;
}
