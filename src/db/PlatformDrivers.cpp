// The two places where the access layer reaches below Qt SQL, through the handles the Qt
// drivers expose: the ODBC connection handle (to ask the product name) and the sqlite3 handle
// (to add the date functions). Qt's QSQLITE links the system libsqlite3 here, so the handle
// and the functions below share one library.
#ifdef _WIN32
#include <windows.h>  // the ODBC headers need its types there
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <QSqlDriver>
#include <QVariant>
#include <cstring>
#include <initializer_list>

#include "db/DateText.h"
#include "db/SessionSetup.h"
#include "db/SqliteDirecto.h"

namespace lumaro::db {

namespace {

// The driver's native handle when the QVariant holds one of the given type names.
template <typename Handle>
Handle handleOf(const QSqlDatabase& db, std::initializer_list<const char*> typeNames) {
    if (!db.isValid() || db.driver() == nullptr) return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || v.typeName() == nullptr) return nullptr;
    for (const char* name : typeNames)
        if (std::strcmp(v.typeName(), name) == 0) return *static_cast<const Handle*>(v.constData());
    return nullptr;
}

// The date of a text that starts "yyyy/mm/dd", as stored, read in place; false for any other
// text, which the general reading then takes (with the same result for these).
bool fechaGuardada(const char* text, int size, int& y, int& m, int& d) {
    if (text == nullptr || size < 10 || text[4] != '/' || text[7] != '/') return false;
    int partes[3] = {0, 0, 0};
    const int desde[3] = {0, 5, 8}, hasta[3] = {4, 7, 10};
    for (int k = 0; k < 3; ++k)
        for (int i = desde[k]; i < hasta[k]; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            partes[k] = partes[k] * 10 + (text[i] - '0');
        }
    if (!QDate::isValid(partes[0], partes[1], partes[2])) return false;
    y = partes[0];
    m = partes[1];
    d = partes[2];
    return true;
}

// year(x), month(x), day(x) over "yyyy/mm/dd hh:mm:ss" texts; NULL for NULL or a non-date.
void datePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int which = *static_cast<int*>(sqlite3_user_data(ctx));
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    int y = 0, m = 0, d = 0;
    if (fechaGuardada(text, size, y, m, d)) {
        sqlite3_result_int(ctx, which == 0 ? y : which == 1 ? m : d);
        return;
    }
    // Called for every row a selection scans: a short ASCII text is read in place, without
    // a QString made for it.
    char16_t ascii[32];
    bool enSitio = text != nullptr && size <= 32;
    for (int i = 0; enSitio && i < size; ++i) {
        enSitio = static_cast<unsigned char>(text[i]) < 0x80;
        ascii[i] = static_cast<char16_t>(text[i]);
    }
    if (text == nullptr || !(enSitio ? dateTextParts(QStringView(ascii, size), y, m, d)
                                     : dateTextParts(QString::fromUtf8(text, size), y, m, d))) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, which == 0 ? y : which == 1 ? m : d);
}

}  // namespace

sqlite3* sqliteHandle(const Connection& cnn) {
    if (cnn.engine() != Engine::Sqlite) return nullptr;
    return handleOf<sqlite3*>(cnn.database(), {"sqlite3*"});
}

qint64 cambiosDeConexion(const Connection& cnn) {
    sqlite3* db = sqliteHandle(cnn);
    return db ? sqlite3_total_changes64(db) : -1;
}

QString odbcDbmsName(const QSqlDatabase& db) {
    auto hdbc = handleOf<SQLHANDLE>(db, {"SQLHANDLE", "void*"});
    if (hdbc == nullptr) return QString();
    SQLCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetInfo(hdbc, SQL_DBMS_NAME, buffer, sizeof buffer, &length);
    if (!SQL_SUCCEEDED(r)) return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer));
}

bool registerSqliteFunctions(const QSqlDatabase& db) {
    auto* handle = handleOf<sqlite3*>(db, {"sqlite3*"});
    if (handle == nullptr) return false;
    static int parts[3] = {0, 1, 2};
    const char* names[3] = {"year", "month", "day"};
    for (int i = 0; i < 3; ++i) {
        if (sqlite3_create_function_v2(handle, names[i], 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                       &parts[i], &datePart, nullptr, nullptr,
                                       nullptr) != SQLITE_OK)
            return false;
    }
    return true;
}

}  // namespace lumaro::db
