#include "snapshot/PartesFecha.h"

#include <cstdint>

namespace lumaro::snapshot {

namespace {

constexpr int64_t kMsPorDia = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t diasDesdeCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilDesdeDias(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool digitos(std::string_view t, std::size_t at, std::size_t n, int& out) {
    int v = 0;
    for (std::size_t k = at; k < at + n; ++k) {
        if (t[k] < '0' || t[k] > '9') return false;
        v = v * 10 + (t[k] - '0');
    }
    out = v;
    return true;
}

int diasDelMes(int anio, int mes) {
    static constexpr int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bisiesto = (anio % 4 == 0 && anio % 100 != 0) || anio % 400 == 0;
    return mes == 2 && bisiesto ? 29 : dias[mes - 1];
}

}  // namespace

PartesFecha partesFecha(const QDateTime& valor) {
    PartesFecha p;
    if (valor.timeSpec() != Qt::UTC) {
        const QDate d = valor.date();
        const QTime t = valor.time();
        d.getDate(&p.anio, &p.mes, &p.dia);
        p.hora = t.hour();
        p.minuto = t.minute();
        p.segundo = t.second();
        return p;
    }
    const int64_t ms = valor.toMSecsSinceEpoch();
    int64_t dias = ms / kMsPorDia;
    int64_t resto = ms % kMsPorDia;
    if (resto < 0) {
        resto += kMsPorDia;
        --dias;
    }
    civilDesdeDias(dias, p.anio, p.mes, p.dia);
    const int64_t s = resto / 1000;
    p.hora = static_cast<int>(s / 3600);
    p.minuto = static_cast<int>(s / 60 % 60);
    p.segundo = static_cast<int>(s % 60);
    return p;
}

bool leerFechaGuardada(std::string_view t, PartesFecha& out) {
    if (t.size() != 19 || t[4] != '/' || t[7] != '/' || t[10] != ' ' || t[13] != ':' ||
        t[16] != ':')
        return false;
    PartesFecha p;
    if (!digitos(t, 0, 4, p.anio) || !digitos(t, 5, 2, p.mes) || !digitos(t, 8, 2, p.dia) ||
        !digitos(t, 11, 2, p.hora) || !digitos(t, 14, 2, p.minuto) || !digitos(t, 17, 2, p.segundo))
        return false;
    // Year 0 does not exist in Qt's calendar; such a text goes the general way (refused there).
    if (p.anio < 1 || p.mes < 1 || p.mes > 12 || p.dia < 1 || p.dia > diasDelMes(p.anio, p.mes) ||
        p.hora > 23 || p.minuto > 59 || p.segundo > 59)
        return false;
    out = p;
    return true;
}

void escribirFecha(const PartesFecha& p, char* out, bool compacta) {
    const int partes[] = {p.anio, p.mes, p.dia, p.hora, p.minuto, p.segundo};
    const char separadores[] = {'/', '/', ' ', ':', ':'};
    int n = 0;
    for (int k = 0; k < 6; ++k) {
        if (k > 0 && !compacta) out[n++] = separadores[k - 1];
        const int ancho = k == 0 ? 4 : 2;
        for (int j = ancho - 1, v = partes[k]; j >= 0; --j, v /= 10)
            out[n + j] = static_cast<char>('0' + v % 10);
        n += ancho;
    }
}

QDateTime fechaDeFila(const PartesFecha& p) {
    const int64_t ms = diasDesdeCivil(p.anio, p.mes, p.dia) * kMsPorDia +
                       (p.hora * 3600LL + p.minuto * 60LL + p.segundo) * 1000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

}  // namespace lumaro::snapshot
