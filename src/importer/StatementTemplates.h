#pragma once
// Statement templates with "$" marks, the quote replacement, and the value literals through
// which every value of a merge statement is written.
//
// ArmarSQL fills the marks left to right with the items; a null item becomes the word "Null",
// taking the date conversion CONVERT(DATETIME,'$') or the quotes '$' around its mark with it.
// Items are trimmed of blanks; an inserted value is never scanned again for marks.

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

#include "db/ValorJet.h"
#include "jet/JetTypes.h"
#include "snapshot/DataModel.h"

namespace lumaro::importer {

// One item of ArmarSQL's list: a text, a whole number, null, or empty (no value at all).
class ItemSQL {
public:
    ItemSQL() = default;  // empty: inserts nothing
    ItemSQL(QString text) : m_kind(Kind::Text), m_text(std::move(text)) {}
    ItemSQL(const char* text) : m_kind(Kind::Text), m_text(QString::fromUtf8(text)) {}
    ItemSQL(int number) : m_kind(Kind::Text), m_text(QString::number(number)) {}
    ItemSQL(qint64 number) : m_kind(Kind::Text), m_text(QString::number(number)) {}
    static ItemSQL null() {
        ItemSQL i;
        i.m_kind = Kind::Null;
        return i;
    }
    bool isNull() const { return m_kind == Kind::Null; }
    const QString& text() const { return m_text; }

private:
    enum class Kind { Empty, Null, Text };
    Kind m_kind = Kind::Empty;
    QString m_text;
};

// The filled template, or the empty text after an error (more marks than items, a template
// longer than 32,767 characters), which is first shown in an information box.
QString ArmarSQL(const QString& plantilla, const QList<ItemSQL>& items);

// The text without its leading and trailing blanks, as ArmarSQL takes each item.
QString sinBlancosExternos(const QString& s);

// Every character of origen equal to buscar (a one-character text) replaced by reemplazo;
// a buscar of any other length leaves origen unchanged.
QString ReemplazarCaracter(const QString& origen, const QString& buscar, const QString& reemplazo);

// Value literals. Each returns "NULL" for a null value and nullopt for a value that is not of
// the kind (a number column holding "12abc", a date column holding "tomorrow"): such a value
// must never reach a statement.
//   quoted text:  'value' with every ' replaced by a blank
//   bare number:  the decimal digits
//   date-time:    'yyyy/mm/dd hh:mm:ss'
std::optional<QString> literalTexto(const QVariant& value);
std::optional<QString> literalNumero(const QVariant& value);
std::optional<QString> literalFecha(const QVariant& value);
// The literal of a column of the data model: text, number, date-time; a Flag as 1 or 0.
std::optional<QString> literalColumna(snapshot::ColumnType type, const QVariant& value);
// A snapshot field as the literals take it.
using db::valorJet;
// The synchronised mark written for bFlagSincro.
inline QString marcaSincronizado() { return QStringLiteral("1"); }
inline QString literalNulo() { return QStringLiteral("NULL"); }

}  // namespace lumaro::importer
