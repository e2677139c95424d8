#pragma once

#include <QStyledItemDelegate>

// Cells of the client grid: text editors limited to the field's size, and check boxes
// drawn in the middle of their cell and toggled by a click anywhere on the box.
class ClientGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    static bool isCheckCell(const QModelIndex& index);
    static QRect checkRect(const QStyleOptionViewItem& option);
};
