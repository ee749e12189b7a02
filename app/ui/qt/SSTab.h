#pragma once

#include "ui/qt/Bound.h"

#include <vector>

class QTabBar;

namespace ui::qt
{

// The tab control on a QTabBar and one page widget per tab, each page the
// size of the whole control.
class SSTab : public Bound<QWidget, ui::TabControl>
{
public:
    SSTab(int tabs, QWidget* parent = nullptr);

    QWidget* page(int tab) const { return pages_.at(tab); }
    int tabs() const { return int(pages_.size()); }
    void setTabCaption(int tab, const std::string& caption) override;
    std::string tabCaption(int tab) const override;
    int currentTab() const override { return current_; }
    void setCurrentTab(int tab) override;
    QTabBar* tabBar() const { return bar_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void onCurrentChanged(int tab);

    QTabBar* bar_;
    std::vector<QWidget*> pages_;
    int current_ = 0;
};

}  // namespace ui::qt
