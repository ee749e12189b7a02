#pragma once

#include "ui/qt/Bound.h"

#include <QListWidget>

namespace ui::qt
{

// The forms' list box on a QListWidget: single selection, and the click event
// as the control layer defines it.
class ListBox : public Bound<QListWidget, ui::ListBox>
{
public:
    explicit ListBox(QWidget* parent = nullptr);

    void addItem(const std::string& text) override { QListWidget::addItem(toQ(text)); }
    int count() const override { return QListWidget::count(); }
    std::string itemText(int row) const override;
    int selectedRow() const override;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void selectionChangedByUser();
    void clickedOnEntry();
    void raiseClick();

    // A press that moved the selection has raised its click already; the
    // release that ends it must not raise a second one.
    bool changedSincePress_ = false;
};

}  // namespace ui::qt
