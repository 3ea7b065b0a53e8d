#pragma once
// "Historial": the ledger report of the last 14 days in a read-only table, with the snapshots
// this store sent in that time (its copies in MDB_enviadas), each store named as the registry
// or the status file names it; for the operator who asks why a store's data is missing. It
// reads the ledger, so the main window opens and refreshes it only while no cycle runs.

#include <QDialog>

class QLabel;
class QTableWidget;

namespace lumaro::app {

class FrmHistorial : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDias = 14;
    // Reads the report at once; a ledger that cannot be read shows why instead of rows.
    explicit FrmHistorial(QWidget* parent = nullptr);

    // Reads the ledger and this store's sent copies again ("Actualizar").
    void actualizar();

private:
    void agregarFila(const QString& local, const QDate& fecha, const QString& estado);

    QTableWidget* m_tabla;
    QLabel* m_aviso;
};

}  // namespace lumaro::app
