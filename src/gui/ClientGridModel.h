#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace kavrin::store {
class Dataset;
}

// The grid's view of a dataset: one column per shown field, the dataset's cursor as the
// grid's current row. Boolean fields are check boxes.
class ClientGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString field;
        QString header;
    };
    static constexpr int MaxLengthRole = Qt::UserRole + 1;

    ClientGridModel(kavrin::store::Dataset& dataset, QList<Column> columns, QObject* parent = nullptr);

    kavrin::store::Dataset& dataset() const { return m_dataset; }
    bool isCheckColumn(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // The dataset's cursor moved to this row (-1: none).
    void cursorMoved(int row);

private:
    int fieldOf(int column) const;
    void reset();

    kavrin::store::Dataset& m_dataset;
    QList<Column> m_columns;
};
