#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

namespace kavrin::store {

enum class FieldType { Text, Boolean, Integer };

struct FieldDef
{
    QString name; // matched to result columns regardless of letter case
    FieldType type = FieldType::Text;
    int size = 0; // text: at most this many characters (0: no limit)
    bool fixedLength = false; // a char(n) text: trailing spaces are not kept
};

// A cursor over a private, editable copy of rows. Nothing done to the copy reaches a table.
// Texts of fixed length are stored without trailing spaces; an empty text is stored as no value and
// reads back as the empty text; an empty boolean reads as false.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Dataset(QObject* parent = nullptr);

    // Fixed fields: when set, only these columns are kept, converted to their types.
    void setFieldDefs(QList<FieldDef> defs);
    const QList<FieldDef>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const; // -1 when none

    bool isActive() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    void close(); // discards the copy with all its changes

    // Rows posted into the copy; a row being inserted does not count.
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // Rows the controls show, a row being inserted included.
    int rowCount() const { return int(m_rows.size()); }
    int currentRow() const { return m_current; } // -1 when none

    // Moves end an open edit first (post when changed) and raise afterScroll.
    void first();
    void next(); // at the last row: eof() becomes true, the row stays, afterScroll is raised
    bool eof() const { return m_eof; }
    void moveTo(int row);

    // Values of the current row, edits not yet posted included. An open copy without rows
    // reads as empty; a closed one or an unknown field raises StoreError.
    QString fieldText(const QString& name) const;
    bool fieldBool(const QString& name) const;
    void setFieldText(const QString& name, const QString& value); // starts an edit
    void setFieldBool(const QString& name, bool value);

    // Value for the controls: row as shown, edits of the current row included.
    QVariant value(int row, int column) const;
    void setValue(int row, int column, const QVariant& value); // moves to row, then edits

    void append(); // ends an open edit, adds an empty row in insert state and makes it current
    void post();   // stores the row being inserted or edited into the copy
    void cancel(); // drops the edit; an insertion is removed
    void deleteRow(); // in insert state cancels; on an empty copy: "Cannot perform this operation on an empty dataset"

    // Counted suspension of the controls; afterScroll is not suspended.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabledCount > 0; }

Q_SIGNALS:
    void afterScroll();

    // Notices for the controls, held back while they are disabled; enabling them again
    // gives one controlsReset.
    void controlsReset();
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentChanged(int row);

protected:
    // Opens the copy from result columns and rows; first row current (afterScroll when it has rows).
    void openCopy(const QStringList& columns, const QList<QVector<QVariant>>& rows);
    // The same, taking the rows one by one: nextRow fills the row of result columns it is
    // given and returns false after the last.
    void openCopy(const QStringList& columns, const std::function<bool(QVector<QVariant>&)>& nextRow);

private:
    void checkActive() const;
    int column(const QString& name) const;
    QVariant stored(int column, const QVariant& value) const;
    const QVector<QVariant>& currentValues() const;
    void setField(int column, const QVariant& value);
    bool endEdit(); // true when an unchanged insertion was dropped
    void removeInsertion();
    void setCurrent(int row);

    void leaveEdit(bool changed); // back to browsing; the controls hear of a changed row
    void fill(const QStringList& columns, const std::function<bool(QVector<QVariant>&)>& nextRow);

    QList<FieldDef> m_fields;
    bool m_fixedFields = false;
    QList<QVector<QVariant>> m_rows;
    QVector<QVariant> m_buffer; // edit buffer of the current row
    State m_state = State::Inactive;
    int m_current = -1;
    bool m_eof = true;
    int m_disabledCount = 0;
    bool m_modified = false;
};

} // namespace kavrin::store
