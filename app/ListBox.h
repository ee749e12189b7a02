#pragma once

#include <QListWidget>

// The forms' list box. Its click event means "the user picked an entry": it is
// raised once for every change of the selection, whether by mouse, arrow keys,
// Home/End, paging, typing or Space, and once for a mouse click on the entry
// that is already selected. Once an entry has been picked the selection can be
// moved but not removed by the user.
class ListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

signals:
    void click();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void selectionChangedByUser();
    void clickedOnEntry();

    // A press that moved the selection has raised its click already; the
    // release that ends it must not raise a second one.
    bool changedSincePress_ = false;
};
