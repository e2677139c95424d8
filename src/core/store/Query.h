#pragma once

#include "store/Dataset.h"

#include <QStringList>

namespace kavrin::store {

// SQL text built line by line, with named parameters (":dv1") bound by position in the
// order of their first appearance. A select gives a private copy (the Dataset), an
// execute runs a statement that returns no rows against the table.
class Query : public Dataset
{
    Q_OBJECT
public:
    explicit Query(QString databaseName, QObject* parent = nullptr);
    ~Query() override;

    // Every change of the text closes the query and rebuilds the parameter list.
    void clearSql();
    void addLine(const QString& line);
    QString sql() const { return m_lines.join(QLatin1Char('\n')); }

    int paramCount() const { return int(m_paramNames.size()); }
    const QStringList& paramNames() const { return m_paramNames; }
    void setParamText(int index, const QString& value); // an empty text binds as no value
    void setParamBool(int index, bool value);

    // true runs the select and opens the copy; false closes it. Raises StoreError.
    void setActive(bool active);
    void execSql();

private:
    void rebuildParams();

    QString m_databaseName;
    QStringList m_lines;
    QStringList m_paramNames;
    QList<QVariant> m_paramValues;
};

} // namespace kavrin::store
