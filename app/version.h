#pragma once

#include <QDialog>

class PictureBox;
class QLabel;
class QPushButton;

// The about dialog: the program's version and that of the library's driver,
// which is asked for afresh at every opening.
class version : public QDialog
{
    Q_OBJECT
public:
    explicit version(QWidget* parent = nullptr);

    void Form_Load();
    void btnOK_Click();

    PictureBox* Picture1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label3;
    QPushButton* btnOK;

private:
    void wire();
    void drawIcon();
};
