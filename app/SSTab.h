#pragma once

#include <QWidget>
#include <vector>

class QTabBar;

// A tab control whose pages cover the whole control, tab strip included, so a
// control placed on a tab is positioned from the control's own top-left corner
// (a dump box at 480 twips sits just below the strip).
class SSTab : public QWidget
{
    Q_OBJECT
public:
    SSTab(int tabs, QWidget* parent = nullptr);

    QWidget* page(int tab) const { return pages_.at(tab); }
    int tabs() const { return int(pages_.size()); }
    void setTabCaption(int tab, const QString& caption);
    QString tabCaption(int tab) const;
    int currentTab() const { return current_; }
    void setCurrentTab(int tab);
    // Kept for the readers, which set it to 2; the control always has two tabs
    // on one row, so it changes nothing that is drawn.
    void setTabsPerRow(int n) { tabsPerRow_ = n; }
    int tabsPerRow() const { return tabsPerRow_; }
    QTabBar* tabBar() const { return bar_; }

signals:
    // Raised after the selected tab changed, with the tab that was left.
    void tabClicked(int previousTab);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void onCurrentChanged(int tab);

    QTabBar* bar_;
    std::vector<QWidget*> pages_;
    int current_ = 0;
    int tabsPerRow_ = 2;
};
