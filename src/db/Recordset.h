#pragma once
// A read-only, static result set held in memory: exact row count, move first / next, end of
// rows, fields by position or by name (without regard to case; the first of equal names
// wins, as in "select dAcumDate, *").
//
// Dates read from an SQLite database, which stores them as "yyyy/mm/dd hh:mm:ss" texts, come
// back as QDateTime, as they do from SQL Server and MySQL.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace lumaro::db {

class Connection;

class Recordset {
public:
    // Runs the query and reads all its rows. False, with the provider's message in
    // errorText(), when it fails; the recordset is closed then.
    bool open(Connection& cnn, const QString& sql);
    void close();
    bool isOpen() const { return m_open; }
    QString errorText() const { return m_error; }
    // The provider's error number as text; "0" when it gave none.
    QString errorNumber() const {
        return m_errorNumber.isEmpty() ? QStringLiteral("0") : m_errorNumber;
    }

    int recordCount() const { return static_cast<int>(m_rows.size()); }
    bool eof() const { return !m_open || m_pos >= m_rows.size(); }
    void moveFirst() { m_pos = 0; }
    void moveNext() {
        if (m_pos < m_rows.size()) ++m_pos;
    }

    int fieldCount() const { return static_cast<int>(m_names.size()); }
    QString fieldName(int index) const { return m_names.value(index); }
    // -1 when the name is not a field.
    int fieldIndex(const QString& name) const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    // The current row's field; an invalid QVariant past the end or for an unknown field.
    // A null field is a null QVariant (isNull()).
    QVariant value(int index) const;
    QVariant value(const QString& name) const { return value(fieldIndex(name)); }
    bool isNull(const QString& name) const { return value(name).isNull(); }

private:
    bool m_open = false;
    QString m_error;
    QString m_errorNumber;
    QStringList m_names;
    QStringList m_foldedNames;
    std::vector<std::vector<QVariant>> m_rows;
    size_t m_pos = 0;
};

}  // namespace lumaro::db
