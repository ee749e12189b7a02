#include "ListBox.h"

ListBox::ListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] { selectionChangedByUser(); });
    connect(this, &QAbstractItemView::clicked, this, [this] { clickedOnEntry(); });
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

void ListBox::selectionChangedByUser()
{
    changedSincePress_ = true;
    if (!selectedItems().isEmpty())
        emit click();
}

void ListBox::clickedOnEntry()
{
    if (!changedSincePress_)
        emit click();
}
