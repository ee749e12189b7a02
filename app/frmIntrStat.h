#pragma once

#include "ui/Form.h"

#include <memory>
#include <array>
#include <cstdint>

// The status of the open counter interrupt, read once when the dialog loads;
// to see newer values the user closes it and opens it again.
class frmIntrStat : public ui::FormOwner
{
public:
    // `parent`, when given, is the window the dialog stays above.
    explicit frmIntrStat(const ui::Form* parent = nullptr);

    ui::Form& form() const { return *form_; }
    void showModal() { form_->showModal(); }

    void Form_Load();
    void btnOK_Click();

    ui::PictureBox* Picture1;
    ui::Label* Label1;
    ui::Label* lblHan;
    ui::PictureBox* Picture2;
    ui::Label* Label4;
    ui::Label* lblNum;
    ui::PictureBox* Picture3;
    ui::Label* Label2;
    ui::Label* lblIrq;
    ui::PictureBox* Picture4;
    ui::Label* Label3;
    ui::Label* lblPls;
    ui::PictureBox* Picture5;
    ui::Label* Label5;
    ui::Label* lblNext;
    ui::CommandButton* btnOK;

private:
    std::unique_ptr<ui::Form> form_;
    void wire();
};
