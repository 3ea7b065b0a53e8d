// DBF export: files written by TablasDBF and ExportacionDBF, read back by an independent
// dBASE reader (Debian's python3-dbfread).

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "../db/DbFixture.h"
#include "outputs/ExportacionDBF.h"
#include "outputs/TablasDBF.h"

namespace lumaro::testing {
namespace {

using outputs::ExportacionDBF;
using outputs::TablasDBF;
using snapshot::Fila;

const char* const kLector = R"(
import sys, json, dbfread
t = dbfread.DBF(sys.argv[1], char_decode_errors='strict')
print(json.dumps({'encoding': t.encoding, 'fields': [[f.name, f.type, f.length] for f in t.fields],
                  'records': [list(r.values()) for r in t]}))
)";

// The reader is a Linux program, which a test under Wine cannot start.
#ifdef _WIN32
#define SIN_LECTOR_EN_WINDOWS() GTEST_SKIP() << "the DBF reader (Python's dbfread) runs on Linux"
#else
#define SIN_LECTOR_EN_WINDOWS()
#endif

// What the reader found in a file: its code page, fields and records.
QJsonObject leer(const QString& ruta) {
    QProcess p;
    p.start(QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
            {"-c", kLector, ruta});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonArray registros(const QString& ruta) { return leer(ruta)["records"].toArray(); }

TEST(NombreDBF, BuiltFromStoreTypeAndSnapshotDay) {
    const struct {
        const char *snapshot, *tipo, *esperado;
    } filas[] = {{"3_05122026.mdb", "C", "3_C_QC5.dbf"},
                 {"12_31012026.mdb", "A", "12_A_Q1V.dbf"},
                 {"3_05122036.MDB", "K", "3_K_C5.dbf"}};  // year 36 has no digit
    for (const auto& f : filas) EXPECT_EQ(outputs::nombreDBF(f.snapshot, f.tipo), f.esperado);
}

class DbfTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(path("out")));
        setKey("Inicio", "RtDbf", path("out"));
    }
    QString dbf(const QString& nombre) const { return QDir(path("out")).filePath(nombre); }
    static const snapshot::Table& tabla(const char* nombre) {
        return *snapshot::findTable(QString::fromUtf8(nombre));
    }
    static Fila cliente(qlonglong codigo, const QVariant& vip, const QVariant& nacimiento) {
        Fila f(24);
        f[0] = codigo;
        f[1] = QStringLiteral("D'Angelo");
        f[2] = QStringLiteral("Ñandú € Ω 😀 fin");
        f[3] = QString(250, 'x');  // exactly the width
        f[8] = QString(80, 'm') + QStringLiteral("cut");
        f[9] = nacimiento;
        f[12] = qlonglong{-2147483647 - 1};
        f[21] = qlonglong{3};
        f[22] = false;
        f[23] = vip;
        return f;
    }
    // A Tarjeta record whose element i is replaced.
    static QStringList tarjeta(int i = -1, const QString& elemento = QString()) {
        QStringList r = {"N5", "C0012'45", "N1", "D20260105103000", "D   ", "CAna", "D",
                         "N",  "N3",       "B0"};
        if (i >= 0) r[i] = elemento;
        return r;
    }
};

TEST_F(DbfTest, ClienteRowsReadBackAsWritten) {
    SIN_LECTOR_EN_WINDOWS();
    ExportacionDBF salida;
    ASSERT_TRUE(salida.preparar("3_05122026.mdb"));
    const QDateTime nacimiento(QDate(1980, 3, 5), QTime(0, 0));
    salida.fila(tabla("Cliente"), cliente(57, true, nacimiento));
    salida.fila(tabla("Cliente"), cliente(58, false, QVariant()));
    salida.fila(tabla("Cliente"), cliente(59, QVariant(), QVariant()));
    salida.fila(tabla("Cumpleaños"), Fila(10));  // no DBF for this table
    salida.finTabla(tabla("Cliente"));
    salida.fin(true);
    EXPECT_EQ(salida.archivosCreados(), QStringList{dbf("3_C_QC5.dbf")});
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files), QStringList{"3_C_QC5.dbf"});
    EXPECT_EQ(logCount("Se Generó DBF Tabla Maestra 3_C_QC5.dbf sin problemas"), 1);

    const QJsonObject leido = leer(dbf("3_C_QC5.dbf"));
    EXPECT_EQ(leido["encoding"].toString(), "cp1252");
    const QJsonArray campos = leido["fields"].toArray();
    ASSERT_EQ(campos.size(), 24);
    const std::pair<int, QJsonArray> esperados[] = {
        {0, {"cClieCode", "N", 11}},  {3, {"sClieAddr", "C", 250}}, {9, {"dNacmDate", "C", 14}},
        {19, {"sCodigoOr", "C", 50}}, {22, {"bFlagSinc", "L", 1}},  {23, {"bClienteV", "N", 11}}};
    for (const auto& [i, e] : esperados) EXPECT_EQ(campos[i].toArray(), e) << i;
    const QJsonArray filas = leido["records"].toArray();
    ASSERT_EQ(filas.size(), 3);
    EXPECT_EQ(
        QJsonDocument(filas[0].toArray()).toJson(QJsonDocument::Compact).toStdString(),
        R"([57,"D Angelo","Ñandú € ? ? fin",")" + std::string(250, 'x') +
            R"(",null,null,null,"",")" + std::string(80, 'm') +
            R"(","19800305000000","",null,-2147483648,null,"","","","",null,"",null,3,false,1])");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(filas[i].toArray()[23].toInt(), i == 0 ? 1 : 0) << i;
    EXPECT_EQ(filas[1].toArray()[9].toString(), "");
}

TEST_F(DbfTest, RecordElementsAndRejectedRecords) {
    SIN_LECTOR_EN_WINDOWS();
    const struct {
        int elemento;
        const char* texto;
        bool escrito;
        QJsonValue leido;  // the field as read back
    } filas[] = {
        {4, "D   ", true, ""},     // a date of blanks is null
        {9, "B1abc", true, true},  // only the first character of a flag counts
        {9, "B0", true, false},
        {7, "N", true, QJsonValue()},  // an empty number is null
        {7, "N-12", true, -12},
        {5,
         "C"
         "abcdefghijklmnopq",
         true, "abcdefghijklmno"},  // cut to C(15)
        {7, "Nabc", false, {}},
        {7, "N123456789012", false, {}},  // does not fit N(11)
        {7, "X1", false, {}},
    };
    TablasDBF t;
    ASSERT_TRUE(t.syncTM(path("out"), "T", "3_05122026.mdb"));
    QJsonArray esperados;
    for (const auto& f : filas) {
        EXPECT_EQ(t.setRegistro(tarjeta(f.elemento, f.texto)), f.escrito) << f.texto;
        if (f.escrito) esperados << QJsonArray{f.elemento, f.leido};
    }
    EXPECT_FALSE(t.setRegistro(tarjeta().mid(1)));  // one element short
    t.cerrar();
    const QJsonArray r = registros(dbf("3_T_QC5.dbf"));
    ASSERT_EQ(r.size(), esperados.size());
    for (qsizetype i = 0; i < r.size(); ++i) {
        const QJsonArray e = esperados[i].toArray();
        EXPECT_EQ(r[i].toArray()[e[0].toInt()], e[1]) << i;
        EXPECT_EQ(r[i].toArray()[1].toString(), "0012'45");  // the card as read
    }
    EXPECT_EQ(logCount("TablasDBF.setRegistro - Error: "), 4);
    EXPECT_EQ(logCount("Tabla Tarjeta (3_T_QC5.dbf) cClieCode=5 nTarjNumb=0012'45 IdLocal=3"), 3);
}

TEST_F(DbfTest, SecondRunOfTheDayReplacesTheFile) {
    SIN_LECTOR_EN_WINDOWS();
    for (int corrida = 0; corrida < 2; ++corrida) {
        TablasDBF t;
        ASSERT_TRUE(t.syncTM(path("out"), "T", "3_05122026.mdb"));
        ASSERT_TRUE(t.setRegistro(tarjeta(0, "N" + QString::number(corrida))));
    }
    const QJsonArray r = registros(dbf("3_T_QC5.dbf"));
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r[0].toArray()[0].toInt(), 1);
    EXPECT_EQ(logCount("TablasDBF.crearDBF - Se reemplaza el DBF no enviado del mismo día: " +
                       QDir::toNativeSeparators(dbf("3_T_QC5.dbf"))),
              1);
}

TEST_F(DbfTest, FailedCopyDeletesTheFilesOfItsRun) {
    for (const bool confirmada : {true, false}) {
        ExportacionDBF salida;
        ASSERT_TRUE(salida.preparar("3_05122026.mdb"));
        salida.fila(tabla("Cliente"), cliente(1, true, QVariant()));
        salida.finTabla(tabla("Cliente"));
        Fila tarjeta(10);
        tarjeta[0] = qlonglong{1};
        tarjeta[1] = QStringLiteral("12345678");
        salida.fila(tabla("Tarjeta"), tarjeta);  // still open when the copy fails
        salida.fin(confirmada);
        EXPECT_EQ(QDir(path("out")).entryList(QDir::Files).size(), confirmada ? 2 : 0);
    }
    EXPECT_EQ(logCount("ExportacionDBF.fin - Copia no confirmada, se borra el DBF: "), 2);
}

TEST_F(DbfTest, MissingSettingsOrDestination) {
    TablasDBF t;
    EXPECT_FALSE(t.syncTM("", "C", "3_05122026.mdb"));
    EXPECT_EQ(boxTexts(), QStringList{"No Ingreso Ruta destino de las DBF a Genererar"});
    setKey("Inicio", "RtDbf", "");
    ExportacionDBF salida;
    EXPECT_FALSE(salida.preparar("3_05122026.mdb"));
    EXPECT_EQ(logCount("TablasDBF.leerOrigenDestino: Problemas de Configuración de CFG para "
                       "envio FTP. Causas posibles: Falta establecer Rutas de Origen y Destino "
                       "para envio FTP o No existe el Archivo: " +
                       QDir::toNativeSeparators(path("lumaro-sync.CFG"))),
              1);  // the first writer stops preparar
    EXPECT_TRUE(t.existeEstructura(path("out")));
    EXPECT_FALSE(t.existeEstructura(path("out/no/hay")));
    EXPECT_EQ(logCount("ClaseSyncFTPTM.existeEstructura - No existe Carpeta: " +
                       QDir::toNativeSeparators(path("out/no"))),
              1);
}

}  // namespace
}  // namespace lumaro::testing
