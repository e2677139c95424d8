#pragma once

#include <QTableView>

class ClientGridModel;

// The client grid: its current row is the dataset's cursor, both ways.
class ClientGrid : public QTableView
{
    Q_OBJECT
public:
    explicit ClientGrid(QWidget* parent = nullptr);

    void setClientModel(ClientGridModel* model);
    // Hands the text still being typed in a cell over to the row, as leaving the cell would.
    void takeOverEdit();

private:
    void followCursor(int row);
    void moveCursor(const QModelIndex& current);

    ClientGridModel* m_model = nullptr;
    bool m_following = false;
};
