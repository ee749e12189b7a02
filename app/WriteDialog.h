#pragma once

#include "ui/Form.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

class Tavrinmain;
using ui::PictureBox;

// What the four write dialogs (frmConWr, frmModeWr, frmEepWr, frmOutpWr) share:
// the hex entry field, the way they print a value into a box, their frame and
// the wiring of their identical events.

// Puts `text` into `box` with its first character cell at (x, 100). The white
// point only moves the print position; on the white box it leaves no mark.
void printAtOrigin(PictureBox* box, double x, const std::string& text);

// The address boxes print their text from here.
inline constexpr double kAddressOriginX = 300;

// Fill of the selected digit's cell: the same green as the dump cursor.
inline constexpr uint32_t kDigitBoxFill = 0x00FF00;

struct FieldShape
{
    int digits;
    int originX;
    // The byte field answers the very first key even before a digit has been
    // chosen (frmOutpWr's field has the focus from the start); the word field
    // waits for a click.
    bool keysBeforeClick;
};

inline constexpr FieldShape kByteField{2, 300, true};
inline constexpr FieldShape kWordField{4, 200, false};

// The value a write dialog is about to write, shown in its picData as a row of
// hex digits that the user changes one digit at a time. Each dialog owns one;
// it lives as long as the dialog is loaded.
class HexField
{
public:
    explicit HexField(FieldShape shape) : shape_(shape) {}

    // Takes the start value and prints it with no digit selected.
    void load(PictureBox* box, int32_t value);

    void keyDown(int keyCode);
    void keyPress(int charCode);

    // Picks the digit under x and draws the whole field; the only drawing
    // after load.
    void selectDigit(float x);
    // Step the selected digit by one, wrapping within the digit.
    void incDigit();
    void decDigit();

    int32_t dataValue() const { return dataValue_; }
    int16_t digitPos() const { return digitPos_; }

private:
    bool waitsForClick() const { return digitPos_ == 0 && !shape_.keysBeforeClick; }
    double cellLeft(int digit) const;
    void showDigit(int digit);
    void stepDigit(int by);

    FieldShape shape_;
    PictureBox* box_ = nullptr;
    int32_t dataValue_ = 0;
    std::string dataText_;
    int16_t digitPos_ = 0;  // 0 none, 1 the leftmost digit
};

// Ends a write on the main window `w`: the final status text, then the cursor
// readout emptied. A failed write is never reported as success, and after a
// failed read-back the read failure text already on the line stays.
void reportWrite(Tavrinmain& w, bool written, bool allReadBack, const char* writeFailed,
                 const char* succeeded);

// Layout of the three dialogs with an address box (frmConWr, frmModeWr,
// frmEepWr): one design, three captions.
extern const ControlSpec kAddressedWriteLayout[6];

// A write dialog's window: top-level and modal with no owner, laid out from
// its table. Each opening is a fresh instance, so it starts from the
// application state with no digit selected; the buttons unload it.
class WriteDialog : public ui::FormOwner
{
public:
    const HexField& field() const { return field_; }
    ui::Form& form() const { return *form_; }

    // Controls, named as on the forms. frmOutpWr has no Label1 and no picAdr.
    ui::Label* Label1 = nullptr;
    PictureBox* picAdr = nullptr;
    ui::Label* Label2 = nullptr;
    PictureBox* picData = nullptr;
    ui::CommandButton* btnWrite = nullptr;
    ui::CommandButton* btnCansel = nullptr;

protected:
    // `main` is the window whose chip, status line, readout and dump the
    // dialog works on; it is not the dialog's owner.
    WriteDialog(Tavrinmain& main, const char* caption, int clientWidth, int clientHeight,
                std::span<const ControlSpec> layout, FieldShape shape);

    // Keyboard order, lowest tab index first; the first control has the focus
    // when the dialog opens.
    void setTabIndexOrder(std::initializer_list<ui::Control*> order);
    // Form_Load of the dialogs with an address box: the address in picAdr,
    // the value in the entry field, no digit selected.
    void loadAddressAndValue(int32_t address, int32_t value);
    void unload();

    std::unique_ptr<ui::Form> form_;
    Tavrinmain& main_;
    HexField field_;
};

// Loads a fresh `Form`, runs it modally with no owner and unloads it when it
// closes.
template <class Form>
void runModal(Tavrinmain& main)
{
    Form form(main);
    form.Form_Load();
    form.form().showModal();
}

// Every write dialog's entry-field events and buttons; each connection only
// forwards to the form's named handler.
template <class Form>
void wireWriteDialog(Form* f)
{
    f->picData->onMouseDown = [f](int button, int shift, float x, float y)
    { f->picData_MouseDown(button, shift, x, y); };
    f->picData->onKeyDown = [f](int key, int shift) { f->picData_KeyDown(key, shift); };
    f->picData->onKeyPress = [f](int ch) { f->picData_KeyPress(ch); };
    f->btnWrite->onClick = [f] { f->btnWrite_Click(); };
    f->btnCansel->onClick = [f] { f->btnCansel_Click(); };
}
