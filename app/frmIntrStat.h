#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class PictureBox;
class QLabel;
class QPushButton;

// The status of the open counter interrupt, read once when the dialog loads;
// to see newer values the user closes it and opens it again.
class frmIntrStat : public QDialog
{
    Q_OBJECT
public:
    explicit frmIntrStat(QWidget* parent = nullptr);

    void Form_Load();
    void btnOK_Click();

    PictureBox* Picture1;
    QLabel* Label1;
    QLabel* lblHan;
    PictureBox* Picture2;
    QLabel* Label4;
    QLabel* lblNum;
    PictureBox* Picture3;
    QLabel* Label2;
    QLabel* lblIrq;
    PictureBox* Picture4;
    QLabel* Label3;
    QLabel* lblPls;
    PictureBox* Picture5;
    QLabel* Label5;
    QLabel* lblNext;
    QPushButton* btnOK;

private:
    void wire();
};
