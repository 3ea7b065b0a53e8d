#pragma once
// The configuration dialog: the two daily times, the automatic mode and the two paths.
// Loaded from the settings at every opening; nothing is written before "Aceptar".

#include <QDialog>
#include <functional>

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QPushButton;

namespace lumaro::app {

class RunControl;

class FrmConfiguracion : public QDialog {
    Q_OBJECT
public:
    FrmConfiguracion(RunControl& control, QWidget* parent = nullptr);

    // Checks the four time fields; shows the first problem found and focuses its field.
    bool validarData();

    static const QString kFiltro;

    // Tests: instead of running the file dialog, hand it (set up, not shown) to `chooser`,
    // which returns the path picked or empty for cancel. An empty function runs it again.
    using FileChooser = std::function<QString(QFileDialog&)>;
    static void setFileChooserForTesting(FileChooser chooser);

public Q_SLOTS:
    void cmdAceptar_Click();
    void cmdBuscarMDB_Click();
    void cmdMDBLumaro_Click();

private:
    void cargar();
    void pintarSyncAuto();
    // A file chosen in the dialog with the given title; empty when cancelled.
    QString elegirArchivo(const QString& title, bool existente);
    bool validarCampo(QLineEdit* field, int maximum, const QString& message);

    RunControl& m_control;
    QCheckBox* m_chkSyncAuto;
    QLineEdit* m_txtH1;
    QLineEdit* m_txtM1;
    QLineEdit* m_txtH2;
    QLineEdit* m_txtM2;
    QLineEdit* m_txtRutaLumaro;
    QLineEdit* m_txtRutaDestino;
};

}  // namespace lumaro::app
