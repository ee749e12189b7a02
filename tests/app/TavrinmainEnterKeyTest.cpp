#include "IoPanelTesting.h"
#include "WriteDialogTesting.h"

// Enter presses the button that has the keyboard focus, on the main window
// and in every dialog; with the focus anywhere else it does nothing.
class EnterKey : public WriteDialogFixture
{
protected:
    void SetUp() override
    {
        WriteDialogFixture::SetUp();
        w = &startProgram();
        driver::activate(w->form());
    }
    // Enter with the keyboard focus on `target`, its window the active one.
    static void enterOn(const ui::Control* target)
    {
        driver::focusInItsWindow(target);
        EXPECT_EQ(driver::focusedControl(), target);
        driver::key(target, driver::Key::Return);
    }
    Tavrinmain* w = nullptr;
};

TEST_F(EnterKey, PressesTheFocusedButtonOfTheMainWindowAndOfTheDialogsItOpens)
{
    clickChip(0);
    // Status dialog and about box are closed by Enter on their OK button.
    int closedByEnter = 0;
    ModalWatch watch(ui::Answer::Cancel,
                     [&closedByEnter](driver::Modal& dialog)
                     {
                         if (!dialog.form())
                             return;
                         enterOn(dialog.form()->get<ui::CommandButton>("btnOK"));
                         closedByEnter += dialog.isOpen() ? 0 : 1;
                     });
    const struct
    {
        ui::CommandButton* button;
        const char* call;  // the first library call the button makes
    } cases[] = {
        {w->btnInpRd, "TavrinReadInport"},    {w->btnOutpRd, "TavrinReadOutport"},
        {w->btnCntRd, "CadmirReadCounter"},   {w->btnIntOpen, "TavrinInitCadmir"},
        {w->btnIntSts, "TavrinReadIntrStat"}, {w->btnIntClose, "TavrinMaskIntr"},
        {w->btnEnd, "TavrinMaskIntr"},
    };
    for (const auto& c : cases)
    {
        lib().calls.clear();
        enterOn(c.button);
        ASSERT_FALSE(lib().calls.empty()) << c.button->text();
        EXPECT_EQ(lib().calls.front().fn, c.call) << c.button->text();
    }
    EXPECT_EQ(endCount, 1);

    enterOn(w->btnEepInit);
    EXPECT_EQ(watch.boxes.size(), 1u);
    driver::chooseMenu(w->menuH_Ver);
    EXPECT_EQ(closedByEnter, 2) << "status dialog and about box";

    lib().calls.clear();
    const int windows = watch.windows;
    enterOn(w->picDump);
    enterOn(w->picOutp);
    enterOn(w->lstOrvel);
    driver::wait(20);
    EXPECT_TRUE(lib().calls.empty());
    EXPECT_EQ(watch.windows, windows);
}

// Each write dialog: Enter in the entry field does nothing, Enter on
// キャンセル closes it unwritten, Enter on 書き込み writes and closes it.
TEST_F(EnterKey, PressesTheFocusedButtonOfEveryWriteDialog)
{
    clickChip(0);
    const struct
    {
        const char* write;
        std::function<void()> open;
    } dialogs[] = {
        {"PciWriteConfigReg", [this] { doubleClickByte(0x04); }},
        {"OrvelWriteModeReg",
         [this]
         {
             driver::chooseMenu(w->menuR_Mode);
             doubleClickByte(0x04);
         }},
        {"OrvelWriteEep",
         [this]
         {
             driver::chooseMenu(w->menuR_eep);
             doubleClickWord(1);
         }},
        {"TavrinWriteOutport", [this] { driver::doubleClick(w->picOutp); }},
    };
    for (const auto& d : dialogs)
    {
        bool stayedOpen = false;
        whenOpen<WriteDialog>(
            [&stayedOpen](WriteDialog& f)
            {
                enterOn(f.picData);
                stayedOpen = f.form().isVisible();
                enterOn(f.btnCansel);
            });
        d.open();
        EXPECT_TRUE(opened()) << d.write;
        EXPECT_TRUE(stayedOpen) << d.write;
        EXPECT_EQ(lib().count(d.write), 0) << d.write;

        whenOpen<WriteDialog>([](WriteDialog& f) { enterOn(f.btnWrite); });
        d.open();
        EXPECT_TRUE(opened()) << d.write;
        EXPECT_EQ(lib().count(d.write), 1) << d.write;
        EXPECT_TRUE(dialogIsGone()) << d.write;
    }
}
