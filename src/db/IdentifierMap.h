#pragma once
// Table and column names matched regardless of case, non-ASCII letters included.
//
// SQL Server compares names without regard to case; SQLite folds ASCII letters only, so
// "CUMPLEAÑOS" would not find the table "Cumpleaños", and MySQL on Linux compares table names
// exactly. For those engines the access layer rewrites each name of a statement to the
// spelling the database stores, before the statement runs. String literals, comments and
// numbers are left alone.

#include <QHash>
#include <QString>
#include <QStringList>

namespace lumaro::db {

class IdentifierMap {
public:
    void clear() { m_names.clear(); }
    void add(const QString& storedName);
    void addAll(const QStringList& storedNames);
    bool isEmpty() const { return m_names.isEmpty(); }
    // The statement with every known name in its stored spelling.
    QString rewrite(const QString& sql) const;

private:
    QHash<QString, QString> m_names;  // case-folded name -> stored spelling
};

}  // namespace lumaro::db
