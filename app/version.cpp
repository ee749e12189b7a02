#include "version.h"

#include "devctl/Module1.h"
#include "ui/Backend.h"
#include "version_config.h"

#include <string>

namespace
{

constexpr int kClientWidth = 4800;
constexpr int kClientHeight = 1365;

// clang-format off
constexpr ControlSpec kControls[] = {
    {"Picture1", Ctl::PictureBox, "",  240,  120,  615,  495, "",                       Face::PGothic, 11.25},
    {"Label1",   Ctl::Label,      "",  120,  720,  855,  255, "Tavrin",                 Face::PGothic, 11.25},
    {"Label2",   Ctl::Label,      "", 1440,  240, 1935,  255, "Version x.x.x",          Face::PGothic, 11.25},
    {"Label4",   Ctl::Label,      "", 1200,  600, 2535,  255, "VxD Version ：　x.x.x",  Face::PGothic, 11.25},
    {"Label3",   Ctl::Label,      "",  720, 1080, 3495,  255, "Tavrin評価ボード用プログラム", Face::PGothic, 11.25},
    {"btnOK",    Ctl::Button,     "", 3720,  120,  855,  375, "OK",                     Face::PGothic, 11.25},
};
// clang-format on

}  // namespace

version::version(const ui::Form* parent)
    : form_(ui::backend().createForm(
          {ui::FormKind::Dialog, "バージョン情報", kClientWidth, kClientHeight, kControls}, parent))
{
    ui::Form& c = *form_;
    c.owner = this;
    Picture1 = c.get<ui::PictureBox>("Picture1");
    Label1 = c.get<ui::Label>("Label1");
    Label2 = c.get<ui::Label>("Label2");
    Label4 = c.get<ui::Label>("Label4");
    Label3 = c.get<ui::Label>("Label3");
    btnOK = c.get<ui::CommandButton>("btnOK");

    Picture1->setTakesFocus(false);
    btnOK->setDefault(true);

    wire();
    drawIcon();
    Form_Load();
}

void version::wire()
{
    btnOK->onClick = [this] { btnOK_Click(); };
}

// The board itself: a green card with the Orvel chip, the counter chip beside
// it and the gold fingers of its edge connector.
void version::drawIcon()
{
    ui::PictureBox* p = Picture1;
    p->Cls();
    p->FillBox(30, 60, 585, 405, 0x1E7A3C);
    p->FillBox(120, 120, 330, 330, 0x202020);
    p->FillBox(390, 150, 525, 285, 0x404040);
    for (int x = 90; x < 540; x += 60)
        p->FillBox(x, 405, x + 30, 480, 0xD4A017);
    p->Refresh();
}

void version::Form_Load()
{
    Label2->setText("Version " + std::to_string(TAVRIN_VERSION_MAJOR) + "." +
                    std::to_string(TAVRIN_VERSION_MINOR) + "." + std::to_string(TAVRIN_VERSION_PATCH));

    // Only the low 16 bits carry the version. Read unsigned, a value with bit 15
    // set still shows its two parts (0xFF05 as 255.05) rather than a negative.
    const unsigned v = uint16_t(Module1::lib.PciGetVxdVersion());
    const unsigned major = v / 256;
    const unsigned minor = v - 256 * major;
    const std::string prefix = "VxDバージョン ： " + std::to_string(major) + ".";
    Label4->setText(minor > 9 ? prefix + std::to_string(minor) : prefix + "0" + std::to_string(minor));
}

void version::btnOK_Click() { form_->close(); }
