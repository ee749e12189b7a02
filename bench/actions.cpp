// The cost of each user action on the real main window, off-screen, against
// the simulated library with its clock stopped; next to each, the library's
// own time for the very same calls, so the program's share shows apart. Also
// the price of a call through the program's bound table against a direct one.
// The cost of each user action on the real main window against the simulated
// library with its clock stopped; next to each, the library's own time for the
// very same calls, so the program's share shows apart. Also the price of a
// call through the program's bound table against a direct one. The user's
// clicks and keys go through the test driver, so the same cases run on every
// back end (off-screen on Qt, under Wine on Win32).
#include "Tavrinmain.h"
#include "devctl/Module1.h"
#include "driver/TestDriver.h"
#include "frmConWr.h"
#include "lumbra_sim.h"
#include "runner.h"
#include "start.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{

constexpr int32_t kChip = 1;

// What the user waits for: the handler and the repaint it asked for.
void settle() { driver::wait(0); }

// A left click in the middle of dump cell (col, row).
void clickCell(const ui::PictureBox* box, int col, int row)
{
    const AppState& s = app();
    driver::click(box, (col + 0.5) * s.cellWidth, (row + 0.5) * s.cellHeight);
}

void setEnv(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value);
#else
    if (*value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

void readConfigDirect()
{
    for (int i = 0; i < 17; ++i)
    {
        int32_t v = 0;
        benchmark::DoNotOptimize(PciReadConfigReg(kChip, 4 * i, &v));
    }
}

void registerCases(Tavrinmain& w, frmConWr& dialog)
{
    bench::add("action/config-read-redraw",
               [&w](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       w.menuR_Config_Click();
                       settle();
                   }
               });
    bench::add("library/config-read-redraw",
               [](benchmark::State& st)
               {
                   for (auto _ : st)
                       readConfigDirect();
               });

    bench::add("action/eeprom-read-redraw",
               [&w](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       w.menuR_eep_Click();
                       settle();
                   }
               });
    bench::add("library/eeprom-read-redraw",
               [](benchmark::State& st)
               {
                   for (auto _ : st)
                       for (int i = 0; i < 64; ++i)
                       {
                           int32_t v = 0;
                           benchmark::DoNotOptimize(OrvelReadEep(kChip, i, &v));
                       }
               });

    // The cursor goes back and forth between two cells of the register dump,
    // so every step really moves it (an erase and a draw).
    bench::add("action/cursor-mouse",
               [&w](benchmark::State& st)
               {
                   w.menuR_Config_Click();
                   settle();
                   bool odd = false;
                   for (auto _ : st)
                   {
                       clickCell(w.picDump, odd ? 6 : 3, odd ? 5 : 2);
                       settle();
                       odd = !odd;
                   }
               });
    bench::add("action/cursor-arrow-key",
               [&w](benchmark::State& st)
               {
                   w.menuR_Config_Click();
                   clickCell(w.picDump, 3, 2);
                   settle();
                   bool odd = false;
                   for (auto _ : st)
                   {
                       driver::key(w.picDump, odd ? driver::Key::Left : driver::Key::Right);
                       settle();
                       odd = !odd;
                   }
               });

    // The configuration write dialog, shown as the user has it.
    bench::add("action/hex-field-key",
               [&dialog](benchmark::State& st)
               {
                   dialog.Form_Load();
                   dialog.form().show();
                   if (!driver::waitShown(dialog.form()))
                   {
                       st.SkipWithError("the dialog was not exposed");
                       return;
                   }
                   bool odd = false;
                   for (auto _ : st)
                   {
                       driver::keyChar(dialog.picData, odd ? 'a' : '5');
                       settle();
                       odd = !odd;
                   }
               });
    bench::add("action/byte-write-reread",
               [&w, &dialog](benchmark::State& st)
               {
                   w.menuR_Config_Click();
                   clickCell(w.picDump, 6, 2);
                   dialog.Form_Load();
                   settle();
                   for (auto _ : st)
                   {
                       dialog.btnWrite_Click();
                       settle();
                   }
               });
    bench::add("library/byte-write-reread",
               [](benchmark::State& st)
               {
                   int32_t v = 0;
                   PciReadConfigReg(kChip, 4, &v);
                   for (auto _ : st)
                   {
                       benchmark::DoNotOptimize(PciWriteConfigReg(kChip, 4, v));
                       readConfigDirect();
                   }
               });

    // After its first call an entry of the table points at the library's own
    // function; the direct call goes through the dynamic linker's stub.
    bench::add("binding/bound-call",
               [](benchmark::State& st)
               {
                   Module1::lib.PciGetVxdVersion();
                   for (auto _ : st)
                       benchmark::DoNotOptimize(Module1::lib.PciGetVxdVersion());
               });
    bench::add("binding/direct-call",
               [](benchmark::State& st)
               {
                   for (auto _ : st)
                       benchmark::DoNotOptimize(PciGetVxdVersion());
               });
}

struct Row
{
    const char* key;
    const char* label;
    int calls;
};

void printTables(const bench::Medians& m)
{
    const Row rows[] = {
        {"config-read-redraw", "Configuration read + redraw", 17},
        {"eeprom-read-redraw", "EEPROM read + two-grid redraw", 64},
        {"cursor-mouse", "Cursor move, mouse", 0},
        {"cursor-arrow-key", "Cursor move, arrow key", 0},
        {"hex-field-key", "Hex field key press", 0},
        {"byte-write-reread", "Byte write + re-read + redraw", 18},
    };
    std::printf(
        "| User action (in process) | Library calls | Total | Library's own time | Program's share |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    for (const Row& r : rows)
    {
        const std::string key = r.key;
        const auto total = m.find("action/" + key);
        if (total == m.end())
            continue;
        const auto lib = m.find("library/" + key);
        const double libNs = lib == m.end() ? 0 : lib->second;
        std::printf("| %s | %d | %s | %s | %s |\n", r.label, r.calls, bench::formatNs(total->second).c_str(),
                    lib == m.end() ? "—" : bench::formatNs(libNs).c_str(),
                    bench::formatNs(total->second - libNs).c_str());
    }
    const auto bound = m.find("binding/bound-call"), direct = m.find("binding/direct-call");
    if (bound != m.end() && direct != m.end())
    {
        std::printf("\n| Library call | Time per call |\n|---|---:|\n");
        std::printf("| Through the bound table, after the first call | %s |\n",
                    bench::formatNs(bound->second).c_str());
        std::printf("| Direct call of the same function | %s |\n", bench::formatNs(direct->second).c_str());
        std::printf("| Difference | %s |\n", bench::formatNs(bound->second - direct->second).c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Two boards, and pulses only when someone sends them: nothing moves
    // under the measurement.
    setEnv("LUMBRA_SIM_PULSE_HZ", "0");
    setEnv("LUMBRA_SIM_CHIPS", "2");
    setEnv("LUMBRA_SIM_FAIL", "");
    setEnv("LUMBRA_SIM_STATE", "");

    int sessionArgc = 1;
    driver::Session session(sessionArgc, argv);
    Module1::useLibrary();
    start::setEndFunction([](int) {});
    if (!start::Main())
    {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    Tavrinmain& w = Tavrinmain::instance();
    driver::selectRow(w.lstOrvel, kChip - 1);
    if (!driver::waitShown(w.form()))
    {
        std::fprintf(stderr, "the main window was not shown\n");
        return 1;
    }
    auto dialog = std::make_unique<frmConWr>(w);

    registerCases(w, *dialog);
    bench::Medians medians;
    const bool ok = bench::runAll(argc, argv, medians);
    printTables(medians);

    dialog.reset();
    w.btnEnd_Click();
    delete &w;
    return ok ? 0 : 1;
}
