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

QWidget* makeControl(const ControlSpec& s, QWidget* parent)
{
    const QString caption = QString::fromUtf8(s.caption ? s.caption : "");
    switch (s.kind)
    {
        case Ctl::Label:
        {
            auto* l = new QLabel(caption, parent);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setWordWrap(true);
            return l;
        }
        case Ctl::ListBox:
            return new ListBox(parent);
        case Ctl::PictureBox:
            return new PictureBox(parent);
        case Ctl::Panel:
        {
            auto* f = new QFrame(parent);
            f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return f;
        }
        case Ctl::Frame:
            return new QGroupBox(caption, parent);
        case Ctl::Button:
            return new CommandButton(caption, parent);
        case Ctl::TabControl:
            return new SSTab(2, parent);
        case Ctl::TextBox:
            return new QLineEdit(caption, parent);
        case Ctl::StatusBar:
        {
            auto* bar = new QStatusBar(parent);
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
        w->setFont(s.face == Face::Gothic ? gothicFont(s.points) : pgothicFont(s.points));
        w->setGeometry(twipsToPx(form, s.left), twipsToPx(form, s.top), twipsToPx(form, s.width),
                       twipsToPx(form, s.height));
        controls_.insert(w->objectName(), w);
    }
}
