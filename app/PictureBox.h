#pragma once

#include <QImage>
#include <QWidget>

// The one canvas every picture box of the program is made of. Coordinates are
// twips from the top-left corner of the box; what is drawn stays on a backing
// image until the box is cleared, also while the box is hidden or not yet shown.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Drawing operations, in the box's units (twips).
    void Cls();                   // white box, print position (0, 0)
    void setForeColor(QRgb rgb);  // colour of later text and points
    QRgb foreColor() const { return fore_; }
    void setDrawMode(int mode);  // 13: the pen replaces the pixel
    int drawMode() const { return drawMode_; }
    void Print(const QString& text);  // at the print position, then next line
    void PSet(double x, double y);    // one point; moves the print position
    void FillBox(double x1, double y1, double x2, double y2, QRgb rgb);
    void Refresh();

    double CurrentX = 0;
    double CurrentY = 0;

    // Metrics of the box's font in twips: the advance of a text, and the line
    // advance of Print (the font's em height, so a 17-row grid fits the box).
    double TextWidth(const QString& text) const;
    double TextHeight() const;

    const QImage& image() const { return image_; }
    QRgb pixelAtTwips(double x, double y) const;
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

signals:
    void mouseDown(int button, int shift, float x, float y);
    void dblClick();
    void keyDown(int keyCode, int shift);
    void keyPress(int charCode);
    void gotFocus();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;

private:
    void ensureImage();
    int toPxX(double twips) const;
    int toPxY(double twips) const;

    QImage image_;
    QRgb fore_ = 0xFF000000;
    int drawMode_ = 13;
};

// Key codes of the arrow keys as the handlers receive them.
enum KeyCode : int
{
    vbKeyLeft = 37,
    vbKeyUp = 38,
    vbKeyRight = 39,
    vbKeyDown = 40
};
