#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <span>

// A form's controls as data: one row per control, read by buildForm. Positions
// and sizes are twips relative to the container's top-left corner.
enum class Ctl
{
    Label,
    ListBox,
    PictureBox,
    Panel,
    Frame,
    Button,
    TabControl,
    TextBox,
    StatusBar
};
enum class Face
{
    PGothic,
    Gothic
};

struct ControlSpec
{
    const char* name;
    Ctl kind;
    const char* container;  // "" for the form itself; "SSTab1:0" for a tab's page
    int left, top, width, height;
    const char* caption;
    Face face;
    double points;
};

int twipsToPx(const QWidget* w, double twips);

// Creates the controls on `form`; the returned map finds each by its name.
// The form itself is sized to `clientWidth` x `clientHeight` twips.
class FormControls
{
public:
    FormControls(QWidget* form, std::span<const ControlSpec> table);

    template <class T>
    T* get(const char* name) const
    {
        auto* w = qobject_cast<T*>(controls_.value(QString::fromLatin1(name)));
        Q_ASSERT_X(w, "FormControls::get", name);
        return w;
    }

private:
    QHash<QString, QWidget*> controls_;
};

void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips);
