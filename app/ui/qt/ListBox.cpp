#include "ui/qt/ListBox.h"

namespace ui::qt
{

ListBox::ListBox(QWidget* parent) : Bound(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] { selectionChangedByUser(); });
    connect(this, &QAbstractItemView::clicked, this, [this] { clickedOnEntry(); });
}

std::string ListBox::itemText(int row) const
{
    const QListWidgetItem* i = item(row);
    return i ? fromQ(i->text()) : std::string();
}

// The list's current row follows the keyboard focus even with nothing
// selected, so the row comes from the selection alone.
int ListBox::selectedRow() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

// Ctrl+click and Ctrl+Space would deselect, and a drag that ends below the
// last entry would select nothing: the list keeps its entry in both cases.
QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (selectedItems().isEmpty())
        return command;
    if (!index.isValid() || command.testFlag(QItemSelectionModel::Deselect) ||
        command.testFlag(QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void ListBox::mousePressEvent(QMouseEvent* e)
{
    changedSincePress_ = false;
    QListWidget::mousePressEvent(e);
}

void ListBox::raiseClick()
{
    if (onClick)
        onClick();
}

void ListBox::selectionChangedByUser()
{
    changedSincePress_ = true;
    if (!selectedItems().isEmpty())
        raiseClick();
}

void ListBox::clickedOnEntry()
{
    if (!changedSincePress_)
        raiseClick();
}

}  // namespace ui::qt
