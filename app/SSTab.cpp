#include "SSTab.h"

#include <QPainter>
#include <QTabBar>

SSTab::SSTab(int tabs, QWidget* parent) : QWidget(parent), bar_(new QTabBar(this))
{
    bar_->setExpanding(true);
    bar_->setDrawBase(false);
    for (int i = 0; i < tabs; ++i) {
        bar_->addTab(QString());
        auto* page = new QWidget(this);
        page->setVisible(i == 0);
        pages_.push_back(page);
    }
    bar_->raise();
    connect(bar_, &QTabBar::currentChanged, this, &SSTab::onCurrentChanged);
}

void SSTab::setTabCaption(int tab, const QString& caption) { bar_->setTabText(tab, caption); }
QString SSTab::tabCaption(int tab) const { return bar_->tabText(tab); }
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
    emit tabClicked(previous);
}

void SSTab::resizeEvent(QResizeEvent*)
{
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
    for (QWidget* page : pages_)
        page->setGeometry(rect());
}

void SSTab::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int top = bar_->geometry().bottom();
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(QRect(0, top, width() - 1, height() - top - 1));
}
