#include "app/FrmHistorial.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/Clock.h"
#include "db/InformeLedger.h"
#include "db/Ledger.h"

namespace lumaro::app {

FrmHistorial::FrmHistorial(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHistorial"));
    setWindowTitle(QStringLiteral("Historial de transferencias (ultimos %1 dias)").arg(kDias));
    auto* tabla = new QTableWidget(0, 3);
    tabla->setObjectName(QStringLiteral("tblHistorial"));
    tabla->setHorizontalHeaderLabels(
        {QStringLiteral("Local"), QStringLiteral("Fecha"), QStringLiteral("Estado")});
    tabla->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabla->horizontalHeader()->setStretchLastSection(true);
    tabla->verticalHeader()->hide();
    auto* aviso = new QLabel;
    aviso->setObjectName(QStringLiteral("lblHistorial"));
    aviso->setWordWrap(true);

    db::FiltroInforme filtro;
    filtro.desde = config::Clock::today().addDays(1 - kDias);
    QString error;
    const auto informe = db::leerInforme(db::rutaLedger(), filtro, &error);
    if (!informe) {
        aviso->setText(QStringLiteral("No se pudo leer el ledger: ") + error);
    } else {
        for (const db::DiaInforme& d : informe->dias) {
            const int fila = tabla->rowCount();
            tabla->insertRow(fila);
            const QString celdas[] = {QString::number(d.idLocal),
                                      d.fecha.toString(QStringLiteral("dd/MM/yyyy")),
                                      db::textoEstado(d)};
            for (int c = 0; c < 3; ++c) tabla->setItem(fila, c, new QTableWidgetItem(celdas[c]));
        }
        QStringList huecos;
        for (const db::Hueco& h : informe->huecos)
            huecos << QStringLiteral("Local %1 sin registro del %2 al %3")
                          .arg(h.idLocal)
                          .arg(h.desde.toString(QStringLiteral("dd/MM/yyyy")),
                               h.hasta.toString(QStringLiteral("dd/MM/yyyy")));
        aviso->setText(huecos.isEmpty() ? QStringLiteral("Sin huecos.")
                                        : huecos.join(QStringLiteral("; ")));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabla, 1);
    layout->addWidget(aviso);
    resize(520, 420);
}

}  // namespace lumaro::app
