// ArmarSQL, ReemplazarCaracter and the value literals.

#include "DbFixture.h"
#include "db/ConnectionText.h"
#include "importer/EjecutorSentencias.h"
#include "importer/StatementTemplates.h"

using namespace lumaro::importer;

namespace {

struct FillCase {
    const char* name;
    QString plantilla;
    QList<ItemSQL> items;
    QString expected;
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }

// The headless console also logs each box: the fixture keeps the log out of the build tree.
class ArmarSQLTest : public lumaro::testing::DbFixture,
                     public ::testing::WithParamInterface<FillCase> {};

TEST_P(ArmarSQLTest, FillsMarks) {
    const FillCase& c = GetParam();
    EXPECT_EQ(ArmarSQL(c.plantilla, c.items), c.expected);
    EXPECT_TRUE(boxes().empty());
}

const QString kConv = "d = CONVERT(DATETIME,'$')";

INSTANTIATE_TEST_SUITE_P(
    Examples, ArmarSQLTest,
    ::testing::Values(
        FillCase{"outer blanks trimmed, inner kept", "a = $", {"  1 2 "}, "a = 1 2"},
        FillCase{"number", "a = $", {qint64(-42)}, "a = -42"},
        FillCase{"null bare", "a = $", {ItemSQL::null()}, "a = Null"},
        FillCase{"null in conversion", kConv, {ItemSQL::null()}, "d = Null"},
        FillCase{"null quoted", "s = '$'", {ItemSQL::null()}, "s = Null"},
        FillCase{"text quoted", "s = '$'", {"abc"}, "s = 'abc'"},
        FillCase{"null quote before only", "s = '$x", {ItemSQL::null()}, "s = 'Nullx"},
        FillCase{"null at first character", "$ rest", {ItemSQL::null()}, "Null rest"},
        FillCase{"null at last character after quote", "s = '$", {ItemSQL::null()}, "s = 'Null"},
        FillCase{"conversion in other case is not taken",
                 "convert(datetime,'$')",
                 {ItemSQL::null()},
                 "convert(datetime,Null)"},
        FillCase{"empty item", "a = $;", {ItemSQL()}, "a = ;"},
        FillCase{"dollar in value is not a mark", "$, $", {"a$b", "c"}, "a$b, c"},
        FillCase{"extra items ignored", "$ $ $", {"1", "2", "3", "4"}, "1 2 3"},
        FillCase{"quote in value unchanged", "s = $", {"'O''x'"}, "s = 'O''x'"}));

// More marks than items, or a template over the 16-bit limit: the subscript-out-of-range
// box, then the empty text.
TEST_F(ArmarSQLTest, OutOfRangeShowsBoxAndGivesEmptyText) {
    const QString atLimit(32767, u'x');
    EXPECT_EQ(ArmarSQL(atLimit, {}), atLimit);
    EXPECT_EQ(ArmarSQL("$ $ $ $", {"1", "2", "3"}), QString());
    EXPECT_EQ(ArmarSQL(atLimit + u'x', {}), QString());
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "El subíndice está fuera del intervalo");
    EXPECT_EQ(boxes()[0].number, static_cast<int>(lumaro::run::BoxIcon::Information));
}

TEST(ReemplazarCaracter, Cases) {
    const struct {
        const char *in, *from, *to, *out;
    } cases[] = {
        {"D'Angelo", "'", " ", "D Angelo"}, {"a''b", "'", " ", "a  b"}, {"", "'", " ", ""},
        {"a'b", "''", " ", "a'b"},          {"a'b", "", " ", "a'b"},    {"ñ'ñ", "'", "--", "ñ--ñ"}};
    for (const auto& c : cases)
        EXPECT_EQ(ReemplazarCaracter(QString::fromUtf8(c.in), QString::fromUtf8(c.from),
                                     QString::fromUtf8(c.to)),
                  QString::fromUtf8(c.out))
            << c.in;
}

// Literals never depend on the locale (dates and numbers are invariant): every check runs
// under a Spanish one.
TEST(ValueLiterals, Kinds) {
    using lumaro::snapshot::ColumnType;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Peru));
    EXPECT_EQ(*literalTexto(QVariant()), "NULL");
    EXPECT_EQ(*literalTexto("x'); drop table Cliente; --"), "'x ); drop table Cliente; --'");
    EXPECT_EQ(*literalNumero(1234567), "1234567");
    EXPECT_EQ(*literalNumero(" 7 "), "7");
    EXPECT_EQ(*literalNumero(3.0), "3");
    EXPECT_EQ(*literalNumero(true), "1");
    EXPECT_EQ(*literalNumero(QVariant()), "NULL");
    // Anything that is not a whole number never reaches a statement.
    EXPECT_FALSE(literalNumero("1 or 1=1").has_value());
    EXPECT_FALSE(literalNumero(1.5).has_value());
    const QDateTime dt(QDate(2026, 3, 5), QTime(7, 8, 9, 999));
    EXPECT_EQ(*literalFecha(dt), "'2026/03/05 07:08:09'");
    EXPECT_EQ(*literalFecha(QDate(1980, 3, 5)), "'1980/03/05 00:00:00'");
    EXPECT_EQ(*literalFecha("2026/12/05 23:59:59"), "'2026/12/05 23:59:59'");
    EXPECT_EQ(*literalFecha(QVariant()), "NULL");
    EXPECT_FALSE(literalFecha("mañana").has_value());
    EXPECT_EQ(*literalColumna(ColumnType::Flag, QVariant()), "0");
    EXPECT_EQ(*literalColumna(ColumnType::Text, 12), "'12'");
    QLocale::setDefault(saved);
}

// Every insert and update of the ten merges stores, bound to its prepared statement, exactly
// what its finished text stores: values of every kind, nulls, quotes, blanks.
TEST_F(ArmarSQLTest, BoundStatementsStoreWhatTheirTextsStore) {
    using namespace lumaro;
    db::Connection texto, enlazada;
    for (auto [cnn, nombre] : {std::pair{&texto, "texto.db"}, std::pair{&enlazada, "enl.db"}}) {
        ASSERT_TRUE(escribir(path(nombre), {}));
        ASSERT_TRUE(db::dbAdmin().AbrirBD(
            *cnn, db::textoConexionSqlServer("", "", path(nombre), "sqlite")));
        for (const auto& t : snapshot::tables())
            ASSERT_TRUE(db::dbAdmin().EjecutarSentencia(*cnn, snapshot::sqliteCreateStatement(t)));
    }
    // Keys 1 and 2 with every other value set, or null.
    const auto fila = [](const snapshot::Table& t, int clave, bool nulos) {
        snapshot::Fila f;
        for (const snapshot::Column& c : t.columns) {
            const bool texto = c.type == snapshot::ColumnType::Text;
            if (c.key)
                f.push_back(texto ? QVariant(QString(" 00'%1 ").arg(clave)) : QVariant(clave));
            else if (nulos)
                f.emplace_back();
            else if (c.type == snapshot::ColumnType::DateTime)
                f.push_back(QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9, 999)));
            else
                f.push_back(texto ? QVariant("  O'Neil  ") : QVariant(" 12 "));
        }
        return f;
    };
    QString esperado, obtenido;
    for (const ReglaFusion& r : reglasFusion()) {
        importer::EjecutorSentencias porTexto(texto), porValores(enlazada);
        for (const auto& [p, f] : {std::pair{&r.insercion, fila(*r.tabla, 1, false)},
                                   {&r.insercion, fila(*r.tabla, 2, true)},
                                   {&r.actualizacion, fila(*r.tabla, 1, true)}}) {
            if (p->vacia()) continue;
            // Both refuse the nulls of the register tables' required columns.
            const bool hecho = porTexto.ejecutar(*armar(r, *p, f, nullptr), nullptr);
            EXPECT_EQ(porValores.ejecutarEnlazada(r, *p, f), hecho) << p->texto.toStdString();
        }
        QStringList columnas;
        for (const snapshot::Column& c : r.tabla->columns)
            columnas << "quote(\"" + c.qName() + "\")";
        const QString sql = "select " + columnas.join(" || ',' || ") + " from \"" +
                            r.tabla->qName() + "\" order by rowid";
        for (auto [cnn, out] : {std::pair{&texto, &esperado}, std::pair{&enlazada, &obtenido}}) {
            db::Recordset rs;
            ASSERT_TRUE(rs.open(*cnn, sql)) << sql.toStdString();
            for (; !rs.eof(); rs.moveNext()) *out += rs.value(0).toString() + '\n';
        }
    }
    EXPECT_EQ(obtenido, esperado);
    EXPECT_TRUE(esperado.contains("'2026/03/05 07:08:09'") && esperado.contains("NULL"));
    db::dbAdmin().CerrarBD(texto);
    db::dbAdmin().CerrarBD(enlazada);
}

}  // namespace
