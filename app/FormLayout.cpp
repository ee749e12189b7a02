#include "FormLayout.h"

#include "CommandButton.h"
#include "ListBox.h"
#include "PictureBox.h"
#include "SSTab.h"
#include "fonts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <cmath>

int twipsToPx(const QWidget* w, double twips) { return int(std::lround(twips * w->logicalDpiX() / 1440.0)); }

void setClientSizeTwips(QWidget* w, int widthTwips, int heightTwips)
{
    w->setFixedSize(twipsToPx(w, widthTwips), twipsToPx(w, heightTwips));
}

namespace
{

// Each control gets its font before its caption, so the caption is measured
// and laid out once, in the face it is shown in, not first in the default one.
QWidget* makeControl(const ControlSpec& s, QWidget* parent)
{
    const QString caption = QString::fromUtf8(s.caption ? s.caption : "");
    const QFont font = s.face == Face::Gothic ? gothicFont(s.points) : pgothicFont(s.points);
    const auto withFont = [&font](auto* w)
    {
        w->setFont(font);
        return w;
    };
    switch (s.kind)
    {
        case Ctl::Label:
        {
            auto* l = withFont(new QLabel(parent));
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setWordWrap(true);
            l->setText(caption);
            return l;
        }
        case Ctl::ListBox:
            return withFont(new ListBox(parent));
        case Ctl::PictureBox:
            return withFont(new PictureBox(parent));
        case Ctl::Panel:
        {
            auto* f = withFont(new QFrame(parent));
            f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return f;
        }
        case Ctl::Frame:
        {
            auto* g = withFont(new QGroupBox(parent));
            g->setTitle(caption);
            return g;
        }
        case Ctl::Button:
        {
            auto* b = withFont(new CommandButton(QString(), parent));
            b->setText(caption);
            return b;
        }
        case Ctl::TabControl:
            return withFont(new SSTab(2, parent));
        case Ctl::TextBox:
        {
            auto* t = withFont(new QLineEdit(parent));
            t->setText(caption);
            return t;
        }
        case Ctl::StatusBar:
        {
            auto* bar = withFont(new QStatusBar(parent));
            bar->setSizeGripEnabled(false);
            auto* panel = new QLabel(bar);
            panel->setObjectName(QStringLiteral("panel1"));
            bar->addWidget(panel, 1);
            return bar;
        }
    }
    return nullptr;
}

}  // namespace

FormControls::FormControls(QWidget* form, std::span<const ControlSpec> table)
{
    for (const ControlSpec& s : table)
    {
        QWidget* parent = form;
        const QString container = QString::fromLatin1(s.container);
        if (!container.isEmpty())
        {
            const QStringList parts = container.split(QLatin1Char(':'));
            parent = controls_.value(parts.at(0));
            Q_ASSERT_X(parent, "FormControls", s.container);
            if (parts.size() > 1)
                parent = static_cast<SSTab*>(parent)->page(parts.at(1).toInt());
        }
        QWidget* w = makeControl(s, parent);
        w->setObjectName(QString::fromLatin1(s.name));
        w->setGeometry(twipsToPx(form, s.left), twipsToPx(form, s.top), twipsToPx(form, s.width),
                       twipsToPx(form, s.height));
        controls_.insert(w->objectName(), w);
    }
}
