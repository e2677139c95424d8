#include "store/Dataset.h"

#include "store/StoreError.h"
#include "store/Values.h"

namespace kavrin::store {
namespace {

FieldType typeOfColumn(const QList<QVector<QVariant>>& rows, int column)
{
    for (const QVector<QVariant>& row : rows) {
        if (column >= row.size() || row.at(column).isNull())
            continue;
        switch (row.at(column).typeId()) {
        case QMetaType::Bool:
            return FieldType::Boolean;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return FieldType::Integer;
        default:
            return FieldType::Text;
        }
    }
    return FieldType::Text;
}

} // namespace

Dataset::Dataset(QObject* parent)
    : QObject(parent)
{
}

void Dataset::setFieldDefs(QList<FieldDef> defs)
{
    if (isActive())
        throw StoreError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_fields = std::move(defs);
    m_fixedFields = !m_fields.isEmpty();
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void Dataset::close()
{
    if (m_state == State::Inactive)
        return;
    m_rows.clear();
    m_buffer.clear();
    m_state = State::Inactive;
    m_current = -1;
    m_eof = true;
    m_modified = false;
    if (!controlsDisabled())
        Q_EMIT controlsReset();
}

int Dataset::recordCount() const
{
    return rowCount() - (m_state == State::Insert ? 1 : 0);
}

void Dataset::first()
{
    checkActive();
    endEdit();
    setCurrent(m_rows.isEmpty() ? -1 : 0);
    m_eof = m_rows.isEmpty();
    Q_EMIT afterScroll();
}

void Dataset::next()
{
    checkActive();
    const bool dropped = endEdit();
    // A move that started at the end of data is no move; dropping an insertion was one.
    if (m_eof && !dropped)
        return;
    if (m_current + 1 < rowCount())
        setCurrent(m_current + 1);
    else
        m_eof = true;
    Q_EMIT afterScroll();
}

void Dataset::moveTo(int row)
{
    checkActive();
    if (row == m_current)
        return;
    if (row < 0 || row >= rowCount())
        throw StoreError(QStringLiteral("Row %1 is not in the dataset").arg(row));
    endEdit(); // a dropped insertion is the last row, so row still names the same row
    setCurrent(row);
    m_eof = false;
    Q_EMIT afterScroll();
}

QString Dataset::fieldText(const QString& name) const
{
    checkActive();
    const int index = column(name);
    const QVariant& value = currentValues().value(index);
    if (value.isNull())
        return {};
    if (m_fields.at(index).type == FieldType::Boolean)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

bool Dataset::fieldBool(const QString& name) const
{
    checkActive();
    const int index = column(name);
    return values::storedBool(currentValues().value(index)).toBool();
}

void Dataset::setFieldText(const QString& name, const QString& value)
{
    checkActive();
    setField(column(name), value);
}

void Dataset::setFieldBool(const QString& name, bool value)
{
    checkActive();
    setField(column(name), value);
}

QVariant Dataset::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_fields.size())
        return {};
    const bool buffered = row == m_current && (m_state == State::Edit || m_state == State::Insert);
    const QVariant& value = buffered ? m_buffer.at(column) : m_rows.at(row).at(column);
    switch (m_fields.at(column).type) {
    case FieldType::Text:
        return value.isNull() ? QString() : value.toString();
    case FieldType::Boolean:
        return value.toBool();
    case FieldType::Integer:
        return value;
    }
    return value;
}

void Dataset::setValue(int row, int column, const QVariant& value)
{
    checkActive();
    if (column < 0 || column >= m_fields.size())
        throw StoreError(QStringLiteral("Field %1 is not in the dataset").arg(column));
    moveTo(row);
    setField(column, value);
}

void Dataset::append()
{
    checkActive();
    endEdit();
    m_rows.append(QVector<QVariant>(m_fields.size()));
    m_buffer = m_rows.last();
    m_state = State::Insert;
    m_modified = false;
    m_eof = false;
    const int row = rowCount() - 1;
    if (!controlsDisabled())
        Q_EMIT rowInserted(row);
    setCurrent(row);
    Q_EMIT afterScroll();
}

void Dataset::post()
{
    checkActive();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool changed = m_modified || m_state == State::Insert;
    if (changed)
        m_rows[m_current] = m_buffer;
    leaveEdit(changed);
}

void Dataset::leaveEdit(bool changed)
{
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
    if (changed && !controlsDisabled())
        Q_EMIT rowChanged(m_current);
}

void Dataset::cancel()
{
    checkActive();
    if (m_state == State::Insert) {
        removeInsertion();
        Q_EMIT afterScroll();
    } else if (m_state == State::Edit) {
        leaveEdit(m_modified);
    }
}

void Dataset::deleteRow()
{
    checkActive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (recordCount() == 0)
        throw StoreError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    // An open edit of the row goes with it.
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
    const int row = m_current;
    m_rows.removeAt(row);
    if (!controlsDisabled())
        Q_EMIT rowRemoved(row);
    // The next row takes the deleted one's place; after the last, the one before it. The
    // index may stay the same while the row is another, so the notice goes out always.
    m_current = std::min(row, rowCount() - 1);
    m_eof = m_rows.isEmpty();
    if (!controlsDisabled())
        Q_EMIT currentChanged(m_current);
    Q_EMIT afterScroll();
}

void Dataset::disableControls()
{
    ++m_disabledCount;
}

void Dataset::enableControls()
{
    if (m_disabledCount == 0)
        return;
    if (--m_disabledCount == 0)
        Q_EMIT controlsReset();
}

void Dataset::openCopy(const QStringList& columns, const QList<QVector<QVariant>>& rows)
{
    close();
    if (!m_fixedFields) {
        m_fields.clear();
        for (int i = 0; i < columns.size(); ++i)
            m_fields.append(FieldDef { columns.at(i), typeOfColumn(rows, i), 0 });
    }
    qsizetype next = 0;
    fill(columns, [&](QVector<QVariant>& row) {
        if (next == rows.size())
            return false;
        row = rows.at(next++);
        return true;
    });
}

void Dataset::openCopy(const QStringList& columns, const std::function<bool(QVector<QVariant>&)>& nextRow)
{
    if (!m_fixedFields) {
        // The fields' types come from the values: all rows first.
        QList<QVector<QVariant>> rows;
        QVector<QVariant> row(columns.size());
        while (nextRow(row))
            rows.append(row);
        openCopy(columns, rows);
        return;
    }
    close();
    fill(columns, nextRow);
}

void Dataset::fill(const QStringList& columns, const std::function<bool(QVector<QVariant>&)>& nextRow)
{
    QList<int> source;
    for (const FieldDef& field : std::as_const(m_fields)) {
        int index = 0;
        while (index < columns.size() && columns.at(index).compare(field.name, Qt::CaseInsensitive) != 0)
            ++index;
        if (index == columns.size())
            throw StoreError(QStringLiteral("Field '%1' not found").arg(field.name));
        source.append(index);
    }
    QList<QVector<QVariant>> copy;
    QVector<QVariant> row(columns.size());
    while (nextRow(row)) {
        QVector<QVariant> values(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            values[i] = stored(i, row.value(source.at(i)));
        copy.append(std::move(values));
    }
    m_rows = std::move(copy);
    m_state = State::Browse;
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    if (!controlsDisabled())
        Q_EMIT controlsReset();
    if (!m_rows.isEmpty())
        Q_EMIT afterScroll();
}

void Dataset::checkActive() const
{
    if (!isActive())
        throw StoreError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int Dataset::column(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw StoreError(QStringLiteral("Field '%1' not found").arg(name));
    return index;
}

QVariant Dataset::stored(int column, const QVariant& value) const
{
    const FieldDef& field = m_fields.at(column);
    switch (field.type) {
    case FieldType::Text:
        return values::storedText(value, field.size, field.fixedLength);
    case FieldType::Boolean:
        return values::storedBool(value);
    case FieldType::Integer:
        return values::storedInteger(value);
    }
    return {};
}

const QVector<QVariant>& Dataset::currentValues() const
{
    static const QVector<QVariant> none;
    if (m_state == State::Edit || m_state == State::Insert)
        return m_buffer;
    if (m_current < 0 || m_current >= rowCount())
        return none;
    return m_rows.at(m_current);
}

void Dataset::setField(int column, const QVariant& value)
{
    if (m_state == State::Browse) {
        // Editing an empty copy starts a new row, as a grid typing into it expects.
        if (m_rows.isEmpty()) {
            append();
        } else {
            m_buffer = m_rows.at(m_current);
            m_modified = false;
            m_state = State::Edit;
        }
    }
    const QVariant newValue = stored(column, value);
    if (m_buffer.at(column) == newValue && m_buffer.at(column).isNull() == newValue.isNull())
        return;
    m_buffer[column] = newValue;
    m_modified = true;
    if (!controlsDisabled())
        Q_EMIT rowChanged(m_current);
}

bool Dataset::endEdit()
{
    if (m_state == State::Edit) {
        post();
    } else if (m_state == State::Insert) {
        if (m_modified) {
            post();
        } else {
            removeInsertion();
            return true;
        }
    }
    return false;
}

void Dataset::removeInsertion()
{
    const int row = m_current;
    m_rows.removeAt(row);
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
    if (!controlsDisabled())
        Q_EMIT rowRemoved(row);
    // The insertion was appended at the end: the cursor goes back to the last row.
    setCurrent(rowCount() - 1);
    m_eof = m_rows.isEmpty();
}

void Dataset::setCurrent(int row)
{
    if (row == m_current)
        return;
    m_current = row;
    if (!controlsDisabled())
        Q_EMIT currentChanged(row);
}

} // namespace kavrin::store
