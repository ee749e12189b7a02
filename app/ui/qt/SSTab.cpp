#include "ui/qt/SSTab.h"

#include <QEvent>
#include <QPainter>
#include <QTabBar>
#include <algorithm>

namespace ui::qt
{
namespace
{

// Tabs share the strip evenly, whatever their captions, so both always show
// and the strip never needs scroll buttons.
class EvenTabBar : public QTabBar
{
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override
    {
        const QSize natural = QTabBar::tabSizeHint(index);
        const int n = std::max(1, count());
        const int share = parentWidget()->width() / n + (index < parentWidget()->width() % n ? 1 : 0);
        return QSize(share, natural.height());
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

}  // namespace

SSTab::SSTab(int tabs, QWidget* parent) : Bound(parent), bar_(new EvenTabBar(this))
{
    bar_->setUsesScrollButtons(false);
    bar_->setElideMode(Qt::ElideNone);
    bar_->setExpanding(true);
    // Narrow tabs: the captions must fit half of a 2055-twip strip.
    bar_->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid palette(mid); border-bottom: none; border-top-left-radius: 3px;"
        " border-top-right-radius: 3px; padding: 4px 0px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(base); }"));
    bar_->setDrawBase(false);
    for (int i = 0; i < tabs; ++i)
    {
        bar_->addTab(QString());
        auto* page = new QWidget(this);
        page->setVisible(i == 0);
        pages_.push_back(page);
    }
    bar_->raise();
    connect(bar_, &QTabBar::currentChanged, this, [this](int tab) { onCurrentChanged(tab); });
}

void SSTab::setTabCaption(int tab, const std::string& caption) { bar_->setTabText(tab, toQ(caption)); }
std::string SSTab::tabCaption(int tab) const { return fromQ(bar_->tabText(tab)); }
void SSTab::setCurrentTab(int tab) { bar_->setCurrentIndex(tab); }

void SSTab::onCurrentChanged(int tab)
{
    if (tab < 0 || tab == current_)
        return;
    const int previous = current_;
    current_ = tab;
    for (int i = 0; i < tabs(); ++i)
        pages_[i]->setVisible(i == tab);
    bar_->raise();
    if (onClick)
        onClick(previous);
}

void SSTab::resizeEvent(QResizeEvent*)
{
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
    for (QWidget* page : pages_)
        page->setGeometry(rect());
}

// The strip's style sheet fixed its font when it was polished, so a font given
// to the control later must be handed on explicitly; else the captions stay in
// the default face.
void SSTab::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange)
        bar_->setFont(font());
    QWidget::changeEvent(e);
}

void SSTab::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int top = bar_->geometry().bottom();
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(QRect(0, top, width() - 1, height() - top - 1));
}

}  // namespace ui::qt
