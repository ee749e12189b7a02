#include "IoPanelTesting.h"

#include "Module2.h"
#include "frmIntrStat.h"

#include <optional>

namespace
{

using Record = std::array<uint8_t, 14>;

struct Shown
{
    std::string han, irq, num, pls, next;
    bool operator==(const Shown&) const = default;
};

Shown shownBy(const frmIntrStat& f)
{
    return {f.lblHan->text(), f.lblIrq->text(), f.lblNum->text(), f.lblPls->text(), f.lblNext->text()};
}

std::ostream& operator<<(std::ostream& os, const Shown& s)
{
    return os << s.han << " irq " << s.irq << " num " << s.num << " pls " << s.pls << " next " << s.next;
}

}  // namespace

// The record as the dialog formats it at load.
class IntrStatRecord : public AppFixture
{
protected:
    Shown load(const Record& record)
    {
        lib().intrRecord = record;
        frmIntrStat form;
        return shownBy(form);
    }
};

TEST_F(IntrStatRecord, HandleIsEightHexDigitsMostSignificantByteFirst)
{
    EXPECT_EQ(load({0x78, 0x56, 0x34, 0x12}).han, std::string("0x12345678"));
    EXPECT_EQ(load({0x0A, 0x00, 0x00, 0x00}).han, std::string("0x0000000A"));
    EXPECT_EQ(load({0xFE, 0xDC, 0xBA, 0x98}).han, std::string("0x98BADCFE"));
}

TEST_F(IntrStatRecord, SixteenBitFieldsReadLowByteFirstInDecimal)
{
    const Shown s = load({0, 0, 0, 0, 0x0B, 0x00, 0xFF, 0xFF, 0x64, 0x00});
    EXPECT_EQ(s.irq, std::string("11"));
    EXPECT_EQ(s.num, std::string("65535"));
    EXPECT_EQ(s.pls, std::string("100"));
    const Shown high = load({0, 0, 0, 0, 0x00, 0x01, 0x01, 0x02, 0x34, 0x12});
    EXPECT_EQ(high.irq, std::string("256"));
    EXPECT_EQ(high.num, std::string("513"));
    EXPECT_EQ(high.pls, std::string("4660"));
}

TEST_F(IntrStatRecord, NextTargetIsTwentyFourBitsAndTheLastByteIsIgnored)
{
    Record r{};
    r[12] = 0x01;
    EXPECT_EQ(load(r).next, std::string("65536"));
    r[10] = 0x01;
    r[11] = 0x02;
    r[12] = 0x03;
    const Shown without = load(r);
    EXPECT_EQ(without.next, std::string("197121"));
    r[13] = 0xFF;
    EXPECT_EQ(load(r), without);
}

TEST_F(IntrStatRecord, CallsStatusIsIgnoredAndAnUnfilledRecordShowsZeros)
{
    lib().setStatus("TavrinReadIntrStat", 0);
    EXPECT_EQ(load({0x01, 0, 0, 0, 0x05}), (Shown{"0x00000001", "5", "0", "0", "0"}));
    EXPECT_EQ(load({}), (Shown{"0x00000000", "0", "0", "0", "0"}));
    EXPECT_EQ(lib().count("TavrinReadIntrStat"), 2);
}

TEST_F(IntrStatRecord, PanelsAndLabelsAreThoseOfTheForm)
{
    frmIntrStat form;
    EXPECT_EQ(form.form().caption(), std::string("割り込み状態"));
    EXPECT_EQ(form.Label1->text(), std::string("割り込みハンドル"));
    EXPECT_EQ(form.Label4->text(), std::string("割り込み発生回数"));
    EXPECT_EQ(form.Label2->text(), std::string("ＩＲＱ番号"));
    EXPECT_EQ(form.Label3->text(), std::string("割り込み発生パルス数"));
    EXPECT_EQ(form.Label5->text(), std::string("次ぎのカウンタ\nターゲット値"));
    EXPECT_EQ(form.btnOK->text(), std::string("OK"));
    // Each value sits in its own panel, beside its title.
    using driver::Rect;
    const auto px = [&](int twips) { return driver::px(form.form(), twips); };
    const std::pair<ui::Label*, ui::PictureBox*> placed[] = {{form.lblHan, form.Picture1},
                                                             {form.lblNum, form.Picture2},
                                                             {form.lblIrq, form.Picture3},
                                                             {form.lblPls, form.Picture4},
                                                             {form.lblNext, form.Picture5}};
    for (const auto& [value, panel] : placed)
    {
        const Rect p = driver::inClient(form.form(), panel), v = driver::inClient(form.form(), value);
        EXPECT_EQ(v.left - p.left, px(2160));
        EXPECT_GE(v.top, p.top);
        EXPECT_LE(v.top + v.height, p.top + p.height);
    }
}

// Opening from the main window.
class IntrStatDialog : public IoPanelFixture
{
protected:
    // Presses the status button and returns what the dialog showed, or nothing.
    std::optional<Shown> pressStatus()
    {
        std::optional<Shown> shown;
        ModalWatch watch(ui::Answer::Ok,
                         [&](driver::Modal& m)
                         {
                             auto* form = ownerOf<frmIntrStat>(m);
                             if (!form)
                                 return;
                             shown = shownBy(*form);
                             owner = driver::parentOf(form->form());
                             saveShot(form->form(), "interrupt-status");
                             driver::click(form->btnOK);
                         });
        driver::click(w->btnIntSts);
        return shown;
    }
    const ui::Form* owner = nullptr;
};

TEST_F(IntrStatDialog, OpensWithoutOwnerWhileAnInterruptIsOpenAndReadsEachTime)
{
    selectChip(2);
    w->btnIntOpen_Click();
    lib().intrRecord = {0x02, 0, 0, 0, 0x0B, 0, 0x03, 0, 0x64, 0, 0x2C, 0x01, 0};
    lib().calls.clear();

    const std::optional<Shown> first = pressStatus();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (Shown{"0x00000002", "11", "3", "100", "300"}));
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(lib().calls, (std::vector<LibCall>{{"TavrinReadIntrStat", {}}}));
    EXPECT_TRUE(driver::noDialogOpen());

    lib().intrRecord[6] = 0x04;
    const std::optional<Shown> second = pressStatus();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->num, std::string("4"));
    EXPECT_EQ(lib().count("TavrinReadIntrStat"), 2);
}

TEST_F(IntrStatDialog, AfterTheInterruptIsClosedTheButtonOpensNothing)
{
    selectChip(1);
    w->btnIntOpen_Click();
    w->btnIntClose_Click();
    lib().calls.clear();
    EXPECT_FALSE(pressStatus());
    EXPECT_TRUE(lib().calls.empty());
}
