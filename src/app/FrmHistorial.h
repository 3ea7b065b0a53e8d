#pragma once
// "Historial": the ledger report of the last 14 days in a read-only table, for the operator
// who asks why a store's data is missing. It reads the ledger, so the main window opens it only
// while no cycle runs.

#include <QDialog>

namespace lumaro::app {

class FrmHistorial : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDias = 14;
    // Reads the report at once; a ledger that cannot be read shows why instead of rows.
    explicit FrmHistorial(QWidget* parent = nullptr);
};

}  // namespace lumaro::app
