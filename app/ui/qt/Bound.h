#pragma once

#include "ui/Controls.h"

#include <QString>
#include <QWidget>
#include <string>

namespace ui::qt
{

inline QString toQ(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
inline std::string fromQ(const QString& s) { return s.toStdString(); }

// A Qt widget that is also one of the control layer's controls: the common
// part of every control, served by the widget itself.
template <class Widget, class Control>
class Bound : public Widget, public Control
{
public:
    using Widget::Widget;

    void setVisible(bool visible) override { Widget::setVisible(visible); }
    bool isVisible() const override { return Widget::isVisible(); }
    void setFocus() override { Widget::setFocus(); }
    void setTakesFocus(bool takes) override { Widget::setFocusPolicy(takes ? Qt::StrongFocus : Qt::NoFocus); }
};

}  // namespace ui::qt
