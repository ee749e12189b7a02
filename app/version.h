#pragma once

#include "ui/Form.h"

#include <memory>

// The about dialog: the program's version and that of the library's driver,
// which is asked for afresh at every opening.
class version : public ui::FormOwner
{
public:
    // `parent`, when given, is the window the dialog stays above.
    explicit version(const ui::Form* parent = nullptr);

    ui::Form& form() const { return *form_; }
    void showModal() { form_->showModal(); }

    void Form_Load();
    void btnOK_Click();

    ui::PictureBox* Picture1;
    ui::Label* Label1;
    ui::Label* Label2;
    ui::Label* Label4;
    ui::Label* Label3;
    ui::CommandButton* btnOK;

private:
    std::unique_ptr<ui::Form> form_;
    void wire();
    void drawIcon();
};
