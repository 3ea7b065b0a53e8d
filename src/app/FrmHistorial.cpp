#include "app/FrmHistorial.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/ArchivoEstado.h"
#include "config/Clock.h"
#include "ledger/InformeLedger.h"
#include "ledger/Ledger.h"

namespace lumaro::app {

namespace {

const QString kFecha = QStringLiteral("dd/MM/yyyy");

// "3 - Centro", or "3" when no name is known.
QString conNombre(const QMap<QString, QString>& nombres, qint64 idLocal) {
    const QString id = QString::number(idLocal);
    const QString nombre = nombres.value(id);
    return nombre.isEmpty() ? id : id + QStringLiteral(" - ") + nombre;
}

}  // namespace

FrmHistorial::FrmHistorial(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHistorial"));
    setWindowTitle(QStringLiteral("Historial de transferencias (ultimos %1 dias)").arg(kDias));
    m_tabla = new QTableWidget(0, 3);
    m_tabla->setObjectName(QStringLiteral("tblHistorial"));
    m_tabla->setHorizontalHeaderLabels(
        {QStringLiteral("Local"), QStringLiteral("Fecha"), QStringLiteral("Estado")});
    m_tabla->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tabla->horizontalHeader()->setStretchLastSection(true);
    m_tabla->verticalHeader()->hide();
    m_aviso = new QLabel;
    m_aviso->setObjectName(QStringLiteral("lblHistorial"));
    m_aviso->setWordWrap(true);
    auto* actualizarBoton = new QPushButton(QStringLiteral("Actualizar"));
    actualizarBoton->setObjectName(QStringLiteral("cmdActualizar"));
    connect(actualizarBoton, &QPushButton::clicked, this, &FrmHistorial::actualizar);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabla, 1);
    layout->addWidget(m_aviso);
    layout->addWidget(actualizarBoton, 0, Qt::AlignRight);
    resize(560, 420);
    actualizar();
}

void FrmHistorial::agregarFila(const QString& local, const QDate& fecha, const QString& estado) {
    const int fila = m_tabla->rowCount();
    m_tabla->insertRow(fila);
    const QString celdas[] = {local, fecha.toString(kFecha), estado};
    for (int c = 0; c < 3; ++c) m_tabla->setItem(fila, c, new QTableWidgetItem(celdas[c]));
}

void FrmHistorial::actualizar() {
    m_tabla->setRowCount(0);
    const QDate desde = config::Clock::today().addDays(1 - kDias);
    const QMap<QString, QString> nombres = nombresLocales();

    // This store's own snapshots sent in those days.
    const QString propio = localPropio();
    for (const EnvioPropio& e : enviosPropios(propio))
        if (e.dia >= desde)
            agregarFila(conNombre(nombres, propio.toLongLong()) + QStringLiteral(" (este local)"),
                        e.dia,
                        QStringLiteral("enviado el ") +
                            e.hora.toString(kFecha + QStringLiteral(" hh:mm:ss")));

    ledger::FiltroInforme filtro;
    filtro.desde = desde;
    QString error;
    const auto informe = ledger::leerInforme(ledger::rutaLedger(), filtro, &error);
    if (!informe) {
        m_aviso->setText(QStringLiteral("No se pudo leer el ledger: ") + error);
        return;
    }
    for (const ledger::DiaInforme& d : informe->dias)
        agregarFila(conNombre(nombres, d.idLocal), d.fecha, ledger::textoEstado(d));
    QStringList huecos;
    for (const ledger::Hueco& h : informe->huecos)
        huecos << QStringLiteral("Local %1 sin registro del %2 al %3")
                      .arg(conNombre(nombres, h.idLocal), h.desde.toString(kFecha),
                           h.hasta.toString(kFecha));
    m_aviso->setText(huecos.isEmpty() ? QStringLiteral("Sin huecos.")
                                      : huecos.join(QStringLiteral("; ")));
}

}  // namespace lumaro::app
