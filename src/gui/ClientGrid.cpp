#include "ClientGrid.h"

#include "ClientGridDelegate.h"
#include "ClientGridModel.h"
#include "KavrinApplication.h"
#include "store/Dataset.h"

#include <QApplication>
#include <QHeaderView>

namespace {
constexpr int gridRowHeight = 40;
constexpr int fixedColumnWidth = 20;
constexpr int columnWidths[] = {207, 106, 75};
} // namespace

ClientGrid::ClientGrid(QWidget* parent)
    : QTableView(parent)
{
    setItemDelegate(new ClientGridDelegate(this));
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QFont cells(QStringLiteral("Times New Roman"));
    cells.setPixelSize(21);
    setFont(cells);

    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setFixedHeight(gridRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(gridRowHeight);
    verticalHeader()->setMinimumSectionSize(gridRowHeight);
    verticalHeader()->setFixedWidth(fixedColumnWidth);
}

void ClientGrid::setClientModel(ClientGridModel* model)
{
    m_model = model;
    setModel(model);
    for (int column = 0; column < int(std::size(columnWidths)); ++column)
        setColumnWidth(column, columnWidths[column]);
    connect(model, &ClientGridModel::cursorMoved, this, &ClientGrid::followCursor);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        kavrin::gui::toErrorDisplay([this, current] { moveCursor(current); })();
    });
}

void ClientGrid::followCursor(int row)
{
    if (row < 0 || row >= model()->rowCount())
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    m_following = true;
    setCurrentIndex(model()->index(row, column));
    m_following = false;
}

void ClientGrid::moveCursor(const QModelIndex& current)
{
    if (m_following || !current.isValid() || m_model->dataset().currentRow() == current.row())
        return;
    m_model->dataset().moveTo(current.row());
}

void ClientGrid::takeOverEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = QApplication::focusWidget();
    if (editor && isAncestorOf(editor)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}
