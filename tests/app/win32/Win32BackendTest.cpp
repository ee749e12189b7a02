// What only the Win32 back end decides: the system windows behind the forms
// and the message boxes. The form suites leave these out.
#include "IoPanelTesting.h"
#include "WriteDialogTesting.h"
#include "frmOutpWr.h"
#include "ui/win32/Win32Backend.h"

#include <windows.h>

namespace
{

HWND windowOf(const ui::Form& f) { return ui::win32::windowOf(&f); }

std::string itemText(HWND box, int id)
{
    wchar_t text[64] = {};
    GetDlgItemTextW(box, id, text, 64);
    return ui::win32::utf8(text);
}

}  // namespace

class Win32Modality : public WriteDialogFixture
{
};

// A write dialog has no owner, so it stands on its own on the task bar; the
// main window is disabled all the same while it is open.
TEST_F(Win32Modality, OwnerlessDialogTakesTheMainWindowsInputUntilItCloses)
{
    Tavrinmain& w = startProgram();
    HWND main = windowOf(w.form());
    bool mainDisabled = false;
    HWND owner = main;
    whenOpen<frmOutpWr>(
        [&](frmOutpWr& f)
        {
            mainDisabled = !IsWindowEnabled(main);
            owner = GetWindow(windowOf(f.form()), GW_OWNER);
            driver::click(f.btnCansel);
        });
    driver::doubleClick(w.picOutp);
    ASSERT_TRUE(opened());
    EXPECT_TRUE(mainDisabled);
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(IsWindowEnabled(main));
}

// The system's box with the program's caption, and its buttons in Japanese
// whatever the system's language, as the Qt build shows them.
TEST_F(Win32Modality, QuestionBoxIsCaptionedTavrinWithJapaneseButtonsOverADisabledMainWindow)
{
    Tavrinmain& w = startProgram();
    HWND main = windowOf(w.form());
    clickChip(1);
    std::string caption, ok, cancel;
    bool mainDisabled = false;
    ModalWatch watch(ui::Answer::Cancel,
                     [&](driver::Modal&)
                     {
                         HWND box = GetActiveWindow();
                         wchar_t text[64] = {};
                         GetWindowTextW(box, text, 64);
                         caption = ui::win32::utf8(text);
                         ok = itemText(box, IDOK);
                         cancel = itemText(box, IDCANCEL);
                         mainDisabled = !IsWindowEnabled(main);
                     });
    driver::click(w.btnEepInit);
    ASSERT_EQ(watch.boxes.size(), 1u);
    EXPECT_EQ(caption, std::string("tavrin"));
    EXPECT_EQ(ok, std::string("OK"));
    EXPECT_EQ(cancel, std::string("キャンセル"));
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(IsWindowEnabled(main));
}
