#pragma once

#include "ui/qt/Bound.h"

#include <QImage>

namespace ui::qt
{

// The Qt picture box: the backing image is a QImage, copied to the screen
// where it changed.
class PictureBox : public Bound<QWidget, ui::PictureBox>
{
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void Cls() override;
    void setForeColor(uint32_t rgb) override;
    uint32_t foreColor() const override { return fore_ & 0xFFFFFF; }
    void setDrawMode(int mode) override;
    int drawMode() const override { return drawMode_; }
    void Print(const std::string& text) override;
    void PSet(double x, double y) override;
    void FillBox(double x1, double y1, double x2, double y2, uint32_t rgb) override;
    void Refresh() override;

    double TextWidth(const std::string& text) const override;
    double TextHeight() const override;

    int pixelWidth() const override { return image_.width(); }
    int pixelHeight() const override { return image_.height(); }
    uint32_t pixel(int x, int y) const override;
    Picture picture() const override;
    double twipsPerPixelX() const override;
    double twipsPerPixelY() const override;

    const QImage& image() const { return image_; }

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

}  // namespace ui::qt
