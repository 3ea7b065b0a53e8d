// The import run and the table merges on real files: snapshots written by our Jet writer,
// embedded SQLite production databases, the ledger, the working folders.

#include "ImportFixture.h"

#include <QProcess>

#include "run/RunState.h"

using namespace lumaro;
using namespace lumaro::testing;

namespace {

// A mirror that records what it is fed.
struct EspejoGrabador : snapshot::EspejoFusion {
    bool encendido = true;
    QStringList filas;
    bool activo() override { return encendido; }
    void filaFusionada(const snapshot::Table& t, const snapshot::Fila& f, bool insertada) override {
        filas << t.qName() + ' ' + f[1].toString() + (insertada ? " ins" : " upd");
    }
};

using Import = ImportFixture;

Valores acum(int codigo, const QVariant& fecha, const QVariant& extorno = {}) {
    return {{"cClieCode", 1},       {"cAcumCode", codigo}, {"dAcumDate", fecha},
            {"dExtoDate", extorno}, {"nPuntCant", 20},     {"sUserDesc", "O'Brien"}};
}

// The point-table rules: a reversal always wins, a newer date wins, an equal, older (to the
// second) or missing incoming date is skipped, a missing production date loses.
TEST_F(Import, PointAccumulationsByDateAndReversal) {
    struct Caso {
        int codigo;
        QVariant produccion, entrante, extorno;
        bool sobrescrita;
    };
    const QDateTime medioSegundo = fecha(3).addMSecs(400);
    const std::vector<Caso> casos = {
        {1, fecha(5), fecha(3), fecha(4), true},  // reversal
        {2, fecha(3), fecha(4), {}, true},        // newer
        {3, fecha(3), fecha(3), {}, false},       // equal
        {4, fecha(4), fecha(3), {}, false},       // older
        {5, fecha(3), medioSegundo, {}, false},   // differs below one second
        {6, fecha(3), {}, {}, false},             // incoming date null
        {7, {}, fecha(3), {}, true},              // production date null
        {8, {}, fecha(3), {}, true},              // new: inserted
    };
    std::vector<Valores> filas;
    for (const Caso& c : casos) {
        if (c.codigo != 8)
            ejecutar(
                QStringLiteral("insert into Acumulacion_Punto (cClieCode, cAcumCode, IdLocal, "
                               "dAcumDate, nPuntCant, bFlagSincro) values (1, %1, 2, %2, 10, 0)")
                    .arg(c.codigo)
                    .arg(c.produccion.isNull() ? "NULL" : *importer::literalFecha(c.produccion)));
        filas.push_back(acum(c.codigo, c.entrante, c.extorno));
    }
    EspejoGrabador espejo;
    importer::setEspejoFusion(&espejo);
    const QString nombre = snapshotDe(2, 1, {{"Acumulacion_Punto", filas}});
    ASSERT_TRUE(importer::SyncLocales().completed) << log().toStdString();

    for (const Caso& c : casos)
        EXPECT_EQ(consulta(QStringLiteral("select nPuntCant, sUserDesc, bFlagSincro from "
                                          "Acumulacion_Punto where cAcumCode = %1")
                               .arg(c.codigo)),
                  c.sobrescrita ? "20,O Brien,1" : "10,NULL,0")
            << c.codigo;
    EXPECT_EQ(espejo.filas, QStringList({"Acumulacion_Punto 1 upd", "Acumulacion_Punto 2 upd",
                                         "Acumulacion_Punto 7 upd", "Acumulacion_Punto 8 ins"}));
    for (const char* linea :
         {"Extorno...", "Acumulacion anterior", "Update acumulacion_punto:1-2-2",
          "Se intento Update del acumulacion_punto:1-6-2, pero Lumaro tiene un "
          "registro mas actual",
          "Archivo Origen : 2_01122026.mdb"})
        EXPECT_TRUE(log().contains(linea)) << linea;
    EXPECT_EQ(logCount("Proceso Terminado"), 10);
    // Every row marked, skipped ones too; the window showed the run.
    EXPECT_EQ(marcas(path("MDB_Syncronizadas/" + nombre), "Acumulacion_Punto"),
              std::vector<bool>(8, true));
    const auto progreso = m_console.eventsOf(Kind::Progress);
    EXPECT_TRUE(
        std::any_of(progreso.begin(), progreso.end(), [](auto& e) { return e.number == 100; }));
    EXPECT_TRUE(
        m_console.eventPanel().endsWith(" - Sincronizando Tabla : registro_canje_cumpleaños_d"));
}

// Clients, cards and contacts are overwritten; the insert-only tables never overwrite and a
// row production already holds is only marked; each row keeps its own store; quotes become
// blanks; a card number with a quote is refused; two snapshots of a store go oldest first.
TEST_F(Import, OverwriteAndInsertOnlyTables) {
    ejecutar(
        "insert into Cliente (cClieCode, IdLocal, sClieName, dUltTDate) values "
        "(5, 2, 'Ana', '2026/12/09 00:00:00'), (7, 4, 'Otra tienda', NULL)");
    ejecutar("insert into Tarjeta (cClieCode, nTarjNumb, IdLocal) values (5, '0001', 2)");
    ejecutar(
        "insert into Acumulacion_Ticket (cClieCode, cAcumCode, IdLocal, nTickCant) values "
        "(1, 1, 2, 5)");
    ejecutar("insert into Contactos (IdContacto, DscContacto, IdLocal) values (1, 'Viejo', 2)");
    EspejoGrabador espejo;
    espejo.encendido = false;
    importer::setEspejoFusion(&espejo);
    Filas dia1;
    for (const char* t : {"registro_canje_cumpleaños", "registro_canje_cumpleaños_d"})
        dia1[t] = {{{"vc_cod_mov", "D'Angelo"}, {"i_tip_mov", 1}, {"n_numero_item", 1}}};
    dia1["Cliente"] = {{{"cClieCode", 5}, {"sClieName", "Bea"}, {"dUltTDate", fecha(1)}},
                       {{"cClieCode", 7}, {"sClieName", "Eva"}}};
    dia1["Tarjeta"] = {{{"cClieCode", 5}, {"nTarjNumb", "12'4"}},
                       {{"cClieCode", 6}, {"nTarjNumb", "0001"}}};
    for (int i : {1, 2, 3})
        dia1["Acumulacion_Ticket"].push_back(
            {{"cClieCode", 1}, {"cAcumCode", i}, {"nTickCant", 9}});
    dia1["Contactos"] = {
        {{"IdContacto", 7}, {"DscContacto", "Ana"}},
        {{"IdContacto", 1}, {"IdLocal", 2}, {"DscContacto", "Nuevo"}, {"Email", "n@x"}}};
    dia1["Cumpleaños"] = {{{"cCliecode", 5}, {"nIdCump", 1}, {"cDescCump", "Feliz"}}};
    Filas dia2 = dia1;  // all sent again, with a newer client and contact
    dia2["Cliente"] = {{{"cClieCode", 5}, {"sClieName", "Cea"}}};
    dia2["Contactos"] = {{{"IdContacto", 7}, {"DscContacto", "Ana Maria"}}};
    const QString segundo = snapshotDe(2, 2, dia2);  // recorded first, merged second
    const QString primero = snapshotDe(2, 1, dia1);
    ASSERT_TRUE(importer::SyncLocales().completed) << log().toStdString();

    EXPECT_LT(log().indexOf("Archivo Origen : " + primero),
              log().indexOf("Archivo Origen : " + segundo));
    EXPECT_EQ(consulta("select cClieCode, IdLocal, sClieName, bClienteVIP, sCodigoOriginal from "
                       "Cliente order by cClieCode, IdLocal"),
              "5,2,Cea,0,NULL|7,2,Eva,0,NULL|7,4,Otra tienda,NULL,NULL");
    EXPECT_EQ(consulta("select cClieCode, nTarjNumb from Tarjeta order by cClieCode"),
              "5,0001|6,0001");
    EXPECT_TRUE(
        log().contains("Tarjeta cClieCode=5 nTarjNumb=12'4 IdLocal=2: su clave lleva una comilla"));
    EXPECT_EQ(marcas(path("MDB_Syncronizadas/" + primero), "Tarjeta"),
              std::vector<bool>({false, true}));
    EXPECT_EQ(consulta("select cAcumCode, nTickCant, bFlagSincro from Acumulacion_Ticket"),
              "1,5,0|2,9,1|3,9,1");
    EXPECT_TRUE(log().contains(
        "Se intento Insert del acumulacion_ticket:1-1-2, pero Lumaro ya tiene ese registro"));
    EXPECT_EQ(
        consulta(
            "select IdContacto, DscContacto, Email, IdLocal from Contactos order by IdContacto"),
        "1,Nuevo,n@x,2|7,Ana Maria,NULL,NULL");
    EXPECT_EQ(consulta("select cClieCode, cDescCump from Cumpleaños"), "5,Feliz");
    EXPECT_EQ(consulta("select vc_cod_mov from registro_canje_cumpleaños", true), "D Angelo");
    EXPECT_EQ(consulta("select vc_cod_mov, n_numero_item from registro_canje_cumpleaños_d", true),
              "D Angelo,1");
    EXPECT_EQ(logCount("Proceso Terminado"), 20);
    EXPECT_EQ(carpeta("MDB_Syncronizadas"), QStringList({primero, segundo}));
    EXPECT_TRUE(espejo.filas.isEmpty());
}

// A table that fails keeps its snapshot (and the store's later ones) for the next run, which
// resumes at the failed row and files both. Rows already marked in a snapshot were merged by a
// run that was cut short: they are not merged again. A row that production refuses, or that
// holds a value not of its kind, is set aside for the operator and holds nothing back.
TEST_F(Import, FailedTableResumesOnTheNextRun) {
    ejecutar(
        "insert into Cliente (cClieCode, IdLocal, sClieName) values (1, 2, 'Cambiado'), "
        "(2, 2, 'Cambiado')");
    // Redemption 2 names a prize production does not know yet: its commit fails.
    ejecutar("pragma foreign_keys = on");
    ejecutar("create table Premio (cPremCode int primary key)");
    ejecutar("drop table Canje_Punto");
    ejecutar(snapshot::sqliteCreateStatement(*snapshot::findTable(u"Canje_Punto"))
                 .replace("\"cPremCode\" int",
                          "\"cPremCode\" int references Premio deferrable initially deferred"));
    ejecutar(
        "create trigger falla before insert on Cliente when new.cClieCode = 9 "
        "begin select raise(abort, 'cliente rechazado'); end");
    importer::setTamanoLote(1);
    std::vector<Valores> canjes;
    for (int i = 1; i <= 3; ++i)
        canjes.push_back({{"cClieCode", 1},
                          {"cCanjCode", i},
                          {"dCanjDate", fecha(1)},
                          {"cPremCode", i == 2 ? QVariant(9) : QVariant()}});
    const QString primero = snapshotDe(2, 1, {{"Canje_Punto", canjes}});
    std::vector<Valores> clientes;
    for (int i = 1; i <= 4; ++i)
        clientes.push_back({{"cClieCode", i}, {"sClieName", "Snap"}, {"bFlagSincro", i <= 2}});
    const QString segundo = snapshotDe(2, 2, {{"Cliente", clientes}});
    // Another store's snapshot is merged and filed, without the errors line of the first; its
    // refused client and its date out of range are set aside.
    const QString otro = snapshotDe(4, 1,
                                    {{"Cliente", {{{"cClieCode", 1}}, {{"cClieCode", 9}}}},
                                     {"Acumulacion_Punto", {acum(5, 1e300)}}});
    const QString ruta = path("MDB_descargadas/" + primero);

    const importer::ImportOutcome conTablaFallida = importer::SyncLocales();
    EXPECT_TRUE(conTablaFallida.completed);
    // Rows written per store and table: the committed part of the failed table counts, rows
    // set aside do not.
    using Filas = QMap<QString, QMap<QString, qint64>>;
    EXPECT_EQ(conTablaFallida.filas, (Filas{{"2", {{"Canje_Punto", 1}}}, {"4", {{"Cliente", 1}}}}));
    EXPECT_EQ(consulta("select cCanjCode from Canje_Punto"), "1");
    EXPECT_EQ(marcas(ruta, "Canje_Punto"), std::vector<bool>({true, false, false}));
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({primero, segundo}));
    EXPECT_EQ(ledger(2, 1) + ledger(2, 2), "00");
    EXPECT_EQ(m_console.problems().filter(" - Problemas al Sinc: Canje_Punto").size(), 1);
    EXPECT_TRUE(log().contains("MainProcesoSinc.syncTablaCanjePunto: 0 - "));
    EXPECT_EQ(logCount("Hubo Errores  en una tabla se debe ver los registros del archivo: "), 1);
    EXPECT_TRUE(conTablaFallida.failure.startsWith(
        "El archivo " + primero + " no termino de sincronizarse (tablas: Canje_Punto)"));
    EXPECT_EQ(carpeta("MDB_Syncronizadas"), QStringList({otro}));
    EXPECT_TRUE(log().contains("Se deja para la proxima ejecucion el archivo " + segundo));
    EXPECT_EQ(consulta("select cClieCode from Cliente where IdLocal = 4") +
                  consulta("select count(*) from Acumulacion_Punto"),
              "10");
    for (const char* t : {"Cliente", "Acumulacion_Punto"})
        EXPECT_EQ(marcas(path("MDB_Syncronizadas/" + otro), t),
                  std::vector<bool>(t[0] == 'C' ? 2 : 1, true));
    const QString apartadas = QString::fromUtf8(contenido(path("Filas_rechazadas/4_01122026.sql")));
    for (const char* linea :
         {"| Cliente cClieCode=9 IdLocal=4 | base de clientes\n-- Motivo: cliente rechazado\n"
          "Insert into CLIENTE (",
          "| Acumulacion_Punto cClieCode=1 cAcumCode=5 IdLocal=4 | base de clientes\n-- Motivo: el "
          "valor de dAcumDate no es del tipo de la columna (se leyo: 1e+300)\n-- Corrija",
          "-- Insert into ACUMULACION_PUNTO ("})
        EXPECT_TRUE(apartadas.contains(linea)) << linea << apartadas.toStdString();
    EXPECT_EQ(
        m_console.problems().filter(" - Fila apartada: Cliente cClieCode=9 IdLocal=4 (ver ").size(),
        1);

    ejecutar("insert into Premio values (9)");
    const importer::ImportOutcome reanudada = importer::SyncLocales();
    EXPECT_TRUE(reanudada.completed);
    EXPECT_EQ(reanudada.filas, (Filas{{"2", {{"Canje_Punto", 2}, {"Cliente", 2}}}}));
    EXPECT_EQ(consulta("select cCanjCode from Canje_Punto order by cCanjCode"), "1|2|3");
    EXPECT_EQ(carpeta("MDB_Syncronizadas"), QStringList({primero, segundo, otro}));
    EXPECT_EQ(ledger(2, 1) + ledger(2, 2), "11");
    EXPECT_EQ(consulta("select sClieName from Cliente where IdLocal = 2 order by cClieCode"),
              "Cambiado|Cambiado|Snap|Snap");

    // Batches span the snapshot's tables: a commit refused at its end is merged again a table
    // at a time, and only the refusing table waits.
    importer::setTamanoLote(5000);
    const QString cuarto = snapshotDe(
        2, 3,
        {{"Cliente", {{{"cClieCode", 7}}}},
         {"Canje_Punto",
          {{{"cClieCode", 1}, {"cCanjCode", 4}, {"dCanjDate", fecha(3)}, {"cPremCode", 8}}}}});
    EXPECT_EQ(importer::SyncLocales().filas, (Filas{{"2", {{"Cliente", 1}}}}));
    EXPECT_EQ(consulta("select count(*) from Cliente where cClieCode = 7") +
                  consulta("select count(*) from Canje_Punto"),
              "13");
    EXPECT_EQ(logCount(" tabla por tabla"), 1);
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({cuarto}));
}

// A snapshot damaged in any way merges nothing: it stays on its first failure, the store's
// snapshot before it is merged and the one after it waits; on its second failure it goes to
// Error and the one after it is merged.
class Damaged : public Import, public ::testing::WithParamInterface<const char*> {};

TEST_P(Damaged, NothingMergedThenError) {
    const std::string dano = GetParam();
    const auto cliente = [](int codigo) { return std::vector<Valores>{{{"cClieCode", codigo}}}; };
    snapshotDe(2, 1, {{"Cliente", cliente(1)}});
    std::vector<Valores> filas;
    for (int i = 1; i <= 400; ++i) filas.push_back(acum(i, fecha(1)));
    const QString malo =
        snapshotDe(2, 2, {{"Cliente", cliente(2)}, {"Acumulacion_Punto", filas}},
                   dano == "table missing" ? QStringList{"Contactos"} : QStringList{});
    const QString tercero = snapshotDe(2, 3, {{"Cliente", cliente(3)}});
    const QString ruta = path("MDB_descargadas/" + malo);
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    if (dano == "garbage") f.write(QByteArray(f.size(), 'x'));
    if (dano == "truncated") f.resize(f.size() / 2 + 100);
    if (dano == "garbage page") {
        auto d = jet::Database::open(ruta.toStdString());
        const uint32_t pagina = d.value().table("Acumulacion_Punto")->ownedPages().value().back();
        f.seek(qint64{pagina} * 4096);
        f.write(QByteArray(4096, '\x5a'));
    }
    f.close();
    if (dano == "wrong type") {
        // Cliente.sClieMail written as a number.
        auto w = jet::Writer::create(ruta.toStdString());
        for (const auto& t : snapshot::tables()) {
            jet::TableDef def = snapshot::jetTableDef(t);
            for (auto& c : def.columns)
                if (c.name == "sClieMail") c = {c.name, jet::ColumnType::Long, 4, false};
            w.value()->createTable(def);
        }
        ASSERT_TRUE(w.value()->commit().isOk());
    }
    EXPECT_FALSE(importer::SyncLocales().completed);
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({malo, malo + ".fallido", tercero}));
    EXPECT_TRUE(carpeta("Error").isEmpty());
    EXPECT_TRUE(boxTexts().last().startsWith("No se puede conectar a "))
        << boxTexts().join('\n').toStdString();
    EXPECT_TRUE(m_console.problems().last().endsWith(
        " - Error en Proceso Actual, Problemas de Sincronizacion"));
    EXPECT_TRUE(
        log().contains("Se intento Enviar Correo: Problemas Al Sincronizar datos entre Locales"));

    EXPECT_FALSE(importer::SyncLocales().completed);
    EXPECT_EQ(carpeta("Error"), QStringList({"100000_" + malo}));
    EXPECT_TRUE(carpeta("MDB_descargadas").isEmpty());
    EXPECT_EQ(ledger(2, 1) + ledger(2, 2) + ledger(2, 3), "1none1");  // the day is owed again
    EXPECT_EQ(consulta("select cClieCode from Cliente order by cClieCode"), "1|3");
    EXPECT_EQ(consulta("select count(*) from Acumulacion_Punto"), "0");
}

// AbrirConexion(2) on a path with no file: its information box, nothing opened.
TEST_F(Import, SnapshotConnectionWithoutItsFile) {
    const QString falta = path("MDB_descargadas/2_05122026.mdb");
    EXPECT_FALSE(importer::AbrirConexion(falta));
    EXPECT_FALSE(importer::cnnSnapshot().isOpen());
    EXPECT_EQ(boxTexts(), QStringList{"No se encuentra el archivo mdb: " + falta});
}

INSTANTIATE_TEST_SUITE_P(Kinds, Damaged,
                         ::testing::Values("garbage", "truncated", "table missing", "wrong type",
                                           "garbage page"));

// Ledger rows without a merge to do: a file already filed is marked merged; a file at or
// under 10,000 bytes is deleted and its row cleared, so the day is fetched again; one byte
// more is kept for the merge.
TEST_F(Import, LedgerRowsWithoutAMerge) {
    const QString archivado = snapshotDe(2, 1, {});
    QFile::rename(path("MDB_descargadas/" + archivado), path("MDB_Syncronizadas/" + archivado));
    for (int dia : {2, 3}) {
        const QString nombre = snapshotDe(4, dia, {});
        QFile f(path("MDB_descargadas/" + nombre));
        f.open(QIODevice::ReadWrite);
        f.resize(dia == 2 ? 10000 : 10001);
    }
    EXPECT_FALSE(importer::SyncLocales().completed);  // the 10,001-byte file is no snapshot
    EXPECT_EQ(ledger(2, 1) + ledger(4, 2) + ledger(4, 3), "1none0");
    EXPECT_TRUE(log().contains("El archivo 2_01122026.mdb ya estaba en MDB_Syncronizadas"));
    EXPECT_TRUE(log().contains(QDir::toNativeSeparators(path("MDB_descargadas/4_02122026.mdb")) +
                               " - su tamaño es menor de 10 KB"));
    EXPECT_EQ(carpeta("MDB_descargadas"),
              QStringList({"4_03122026.mdb", "4_03122026.mdb.fallido"}));
}

// Production databases gone: nothing is filed, nothing recorded, no upload. A snapshot that
// cannot be filed stays where it is, unrecorded, for the next run, which files it; the cause of
// each is noted, a full disk named as such.
TEST_F(Import, UnfiledSnapshotStaysForTheNextRun) {
    const QString nombre = snapshotDe(2, 1, {{"Cliente", {{{"cClieCode", 1}}}}});
    db::cerrarConexiones();
    importer::ImportOutcome corrida = importer::SyncLocales();
    const QString& fallo = corrida.failure;
    EXPECT_FALSE(corrida.completed);
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({nombre}));
    EXPECT_EQ(ledger(2, 1), "0");
    EXPECT_TRUE(log().contains(
        "se detiene la sincronizacion y los archivos quedan para la proxima ejecucion"));
    EXPECT_EQ(fallo, "Sin conexion con la base de datos de produccion");

    abrirProduccion();
    QDir(path("MDB_Syncronizadas")).mkdir(nombre);  // a folder in the way
    corrida = importer::SyncLocales();
    EXPECT_TRUE(corrida.completed);
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({nombre}));
    EXPECT_EQ(ledger(2, 1), "0");
    EXPECT_TRUE(
        fallo.startsWith("No se pudo archivar el archivo " + nombre + " en MDB_Syncronizadas: "));
    QDir(path("MDB_Syncronizadas")).rmdir(nombre);
    EXPECT_TRUE(importer::SyncLocales().completed);
    EXPECT_EQ(carpeta("MDB_Syncronizadas"), QStringList({nombre}));
    EXPECT_EQ(ledger(2, 1), "1");
    EXPECT_EQ(logCount("Todas las filas del archivo " + nombre + " ya estaban marcadas"), 1);

    const QString lleno = path("MDB_Syncronizadas");
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=4k", "tmpfs", lleno}) != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here: full disk not tried";
    const QString otro = snapshotDe(2, 2, {{"Cliente", {{{"cClieCode", 2}}}}});
    corrida = importer::SyncLocales();
    QProcess::execute("umount", {lleno});
    EXPECT_TRUE(corrida.completed);
    EXPECT_EQ(carpeta("MDB_descargadas"), QStringList({otro}));
    EXPECT_EQ(ledger(2, 2), "0");
    EXPECT_TRUE(fallo.startsWith("No se pudo archivar el archivo " + otro +
                                 " en MDB_Syncronizadas: no queda espacio libre en " +
                                 QDir::toNativeSeparators(lleno)))
        << fallo.toStdString();
}

}  // namespace
