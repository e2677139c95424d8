#include "ClientGridModel.h"

#include "store/Dataset.h"

using kavrin::store::Dataset;
using kavrin::store::FieldType;

ClientGridModel::ClientGridModel(Dataset& dataset, QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_dataset(dataset)
    , m_columns(std::move(columns))
{
    // The dataset changes first and tells us afterwards, so structural changes reset the
    // model rather than pretending to announce them beforehand.
    connect(&m_dataset, &Dataset::controlsReset, this, &ClientGridModel::reset);
    connect(&m_dataset, &Dataset::rowInserted, this, &ClientGridModel::reset);
    connect(&m_dataset, &Dataset::rowRemoved, this, &ClientGridModel::reset);
    connect(&m_dataset, &Dataset::rowChanged, this, [this](int row) {
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(&m_dataset, &Dataset::currentChanged, this, &ClientGridModel::cursorMoved);
}

void ClientGridModel::reset()
{
    beginResetModel();
    endResetModel();
    Q_EMIT cursorMoved(m_dataset.currentRow());
}

int ClientGridModel::fieldOf(int column) const
{
    return m_dataset.fieldIndex(m_columns.at(column).field);
}

bool ClientGridModel::isCheckColumn(int column) const
{
    const int field = fieldOf(column);
    return field >= 0 && m_dataset.fields().at(field).type == FieldType::Boolean;
}

int ClientGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_dataset.isActive() ? 0 : m_dataset.rowCount();
}

int ClientGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ClientGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int field = fieldOf(index.column());
    if (field < 0)
        return {};
    if (isCheckColumn(index.column())) {
        if (role == Qt::CheckStateRole)
            return m_dataset.value(index.row(), field).toBool() ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_dataset.value(index.row(), field).toString();
    case MaxLengthRole:
        return m_dataset.fields().at(field).size;
    default:
        return {};
    }
}

bool ClientGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int field = index.isValid() ? fieldOf(index.column()) : -1;
    if (field < 0)
        return false;
    if (isCheckColumn(index.column())) {
        if (role != Qt::CheckStateRole)
            return false;
        m_dataset.setValue(index.row(), field, value.toInt() == Qt::Checked);
    } else {
        if (role != Qt::EditRole)
            return false;
        m_dataset.setValue(index.row(), field, value.toString());
    }
    return true;
}

Qt::ItemFlags ClientGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return isCheckColumn(index.column()) ? base | Qt::ItemIsUserCheckable : base | Qt::ItemIsEditable;
}

QVariant ClientGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_columns.value(section).header;
    return QString(); // the fixed column at the left carries no data
}
