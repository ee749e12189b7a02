#pragma once

#include "ui/Controls.h"

#include <windows.h>

namespace ui::win32
{

// A child window over a 32-bit DIB section: every operation draws into the
// bitmap, and painting only copies it, so the drawing outlives hiding and
// covering, and the pixels can be read back exactly.
class PictureBox : public ui::PictureBox
{
public:
    PictureBox(HWND parent, int x, int y, int width, int height, HFONT font);
    ~PictureBox() override;

    void setVisible(bool visible) override;
    bool isVisible() const override;
    void setFocus() override;
    void setTakesFocus(bool takes) override;

    void Cls() override;
    void setForeColor(uint32_t rgb) override { fore_ = rgb & 0xFFFFFF; }
    uint32_t foreColor() const override { return fore_; }
    void setDrawMode(int mode) override { drawMode_ = mode; }
    int drawMode() const override { return drawMode_; }
    void Print(const std::string& text) override;
    void PSet(double x, double y) override;
    void FillBox(double x1, double y1, double x2, double y2, uint32_t rgb) override;
    void Refresh() override;
    double TextWidth(const std::string& text) const override;
    double TextHeight() const override;
    int pixelWidth() const override { return width_; }
    int pixelHeight() const override { return height_; }
    uint32_t pixel(int x, int y) const override;
    Picture picture() const override;
    double twipsPerPixelX() const override;
    double twipsPerPixelY() const override;

    HWND hwnd() const { return hwnd_; }
    HFONT font() const { return font_; }

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void invalidate(int x, int y, int w, int h);
    void invalidate(const RECT* r);

    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_ = 1, height_ = 1;
    HFONT font_;
    double points_;
    uint32_t fore_ = 0;
    int drawMode_ = 13;
};

}  // namespace ui::win32
