#include "db/clsLocal.h"

namespace lumaro::db {

void clsLocal::addLocal(QString idLocal, QString nombre) {
    for (Fila& f : m_filas) {
        if (f.idLocal.isEmpty()) {
            f.idLocal = std::move(idLocal);
            f.nombre = std::move(nombre);
            return;
        }
    }
}

void clsLocal::setNroLocales(int nro) { m_filas = QVector<Fila>(qMax(nro, 1)); }

QString clsLocal::getIdLocal(int index) const {
    return index >= 0 && index < m_filas.size() ? m_filas[index].idLocal : QString();
}

QString clsLocal::getNombreLocal(int index) const {
    return index >= 0 && index < m_filas.size() ? m_filas[index].nombre : QString();
}

QString clsLocal::getNombreLocalCod(int codigo) const {
    QString nombre;
    for (const Fila& f : m_filas) {
        bool ok = false;
        const int id = f.idLocal.trimmed().toInt(&ok);
        if (ok && id == codigo) nombre = f.nombre;
    }
    return nombre;
}

clsLocal& locales() {
    static clsLocal instance;
    return instance;
}

}  // namespace lumaro::db
