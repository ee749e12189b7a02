#include "frmIntrStat.h"

#include "Module2.h"
#include "RegisterBytes.h"
#include "devctl/Module1.h"
#include "ui/Backend.h"

#include <string>

namespace
{

constexpr int kClientWidth = 4335;
constexpr int kClientHeight = 3855;

// clang-format off
constexpr ControlSpec kControls[] = {
    {"Picture1", Ctl::PictureBox, "",          120,  120, 4095,  495, "",                 Face::PGothic, 9},
    {"Label1",   Ctl::Label,      "Picture1",  120,  120, 1935,  255, "割り込みハンドル",    Face::PGothic, 9},
    {"lblHan",   Ctl::Label,      "Picture1", 2160,  120, 1815,  255, "FFFFFFFF",          Face::Gothic, 11.25},
    {"Picture2", Ctl::PictureBox, "",          120,  720, 4095,  495, "",                 Face::PGothic, 9},
    {"Label4",   Ctl::Label,      "Picture2",  120,  120, 1935,  255, "割り込み発生回数",    Face::PGothic, 9},
    {"lblNum",   Ctl::Label,      "Picture2", 2160,  120, 1815,  255, "FFFFFFFF",          Face::Gothic, 11.25},
    {"Picture3", Ctl::PictureBox, "",          120, 1320, 4095,  495, "",                 Face::PGothic, 9},
    {"Label2",   Ctl::Label,      "Picture3",  120,  120, 1935,  255, "ＩＲＱ番号",          Face::PGothic, 9},
    {"lblIrq",   Ctl::Label,      "Picture3", 2160,  120, 1815,  255, "FFFFFFFF",          Face::Gothic, 11.25},
    {"Picture4", Ctl::PictureBox, "",          120, 1920, 4095,  495, "",                 Face::PGothic, 9},
    {"Label3",   Ctl::Label,      "Picture4",  120,  120, 1935,  255, "割り込み発生パルス数", Face::PGothic, 9},
    {"lblPls",   Ctl::Label,      "Picture4", 2160,  120, 1815,  255, "FFFFFFFF",          Face::Gothic, 11.25},
    {"Picture5", Ctl::PictureBox, "",          120, 2520, 4095,  615, "",                 Face::PGothic, 9},
    {"Label5",   Ctl::Label,      "Picture5",  120,   60, 1935,  495, "次ぎのカウンタ\nターゲット値", Face::PGothic, 9},
    {"lblNext",  Ctl::Label,      "Picture5", 2160,  180, 1815,  255, "FFFFFFFF",          Face::Gothic, 11.25},
    {"btnOK",    Ctl::Button,     "",         1560, 3300, 1215,  375, "OK",                Face::PGothic, 9},
};
// clang-format on

unsigned littleEndian(const std::array<uint8_t, LUMBRA_INTR_RECORD_SIZE>& record, int at, int bytes)
{
    return packBytes(std::span(record).subspan(at, bytes));
}

}  // namespace

frmIntrStat::frmIntrStat(const ui::Form* parent)
    : form_(ui::backend().createForm(
          {ui::FormKind::Dialog, "割り込み状態", kClientWidth, kClientHeight, kControls}, parent))
{
    ui::Form& c = *form_;
    c.owner = this;
    Picture1 = c.get<ui::PictureBox>("Picture1");
    Label1 = c.get<ui::Label>("Label1");
    lblHan = c.get<ui::Label>("lblHan");
    Picture2 = c.get<ui::PictureBox>("Picture2");
    Label4 = c.get<ui::Label>("Label4");
    lblNum = c.get<ui::Label>("lblNum");
    Picture3 = c.get<ui::PictureBox>("Picture3");
    Label2 = c.get<ui::Label>("Label2");
    lblIrq = c.get<ui::Label>("lblIrq");
    Picture4 = c.get<ui::PictureBox>("Picture4");
    Label3 = c.get<ui::Label>("Label3");
    lblPls = c.get<ui::Label>("lblPls");
    Picture5 = c.get<ui::PictureBox>("Picture5");
    Label5 = c.get<ui::Label>("Label5");
    lblNext = c.get<ui::Label>("lblNext");
    btnOK = c.get<ui::CommandButton>("btnOK");

    // The panels only frame their labels; they are never drawn on.
    for (ui::PictureBox* panel : {Picture1, Picture2, Picture3, Picture4, Picture5})
        panel->setTakesFocus(false);
    btnOK->setDefault(true);

    wire();
    Form_Load();
}

void frmIntrStat::wire()
{
    btnOK->onClick = [this] { btnOK_Click(); };
}

// The call's status is not looked at: a call that fills nothing leaves the
// zeros, and they are shown as they are.
void frmIntrStat::Form_Load()
{
    std::array<uint8_t, LUMBRA_INTR_RECORD_SIZE> record{};
    Module1::lib.TavrinReadIntrStat(record.data());

    lblHan->setText("0x" + hexPad(record[3], 2) + hexPad(record[2], 2) + hexPad(record[1], 2) +
                    hexPad(record[0], 2));
    lblIrq->setText(std::to_string(littleEndian(record, 4, 2)));
    lblNum->setText(std::to_string(littleEndian(record, 6, 2)));
    lblPls->setText(std::to_string(littleEndian(record, 8, 2)));
    lblNext->setText(std::to_string(littleEndian(record, 10, 3)));
}

void frmIntrStat::btnOK_Click() { form_->close(); }
