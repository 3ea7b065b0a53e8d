#pragma once
// The DBF writer of one master table type for one snapshot.
//
// Life of an object: leerOrigenDestino (reads the destination folder from the settings),
// syncTM (creates the table's file, replacing an unsent file of the same name), setRegistro
// once per row, cerrar (or destruction), which completes the file on disk. The file stays open
// from syncTM to cerrar, so a million rows cost a million record writes and nothing more.
//
// Record elements (setRegistro): one text per column, in the column order of EstructuraDBF.h;
// its first character is the element code and the rest is the value:
//   N  a whole number, or nothing for null
//   C  a text, cut to the column width, written in Windows-1252 ('?' for a character outside)
//   D  a date as yyyymmddhhmmss; null when only blanks follow the code
//   B  a flag: only the first character of the value counts ("1abc" is 1)
// A record that cannot be written (a number that is not one or does not fit, a wrong element
// count, an unknown code, a write error) is left out and logged with the table and the row's key.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

#include "outputs/EstructuraDBF.h"

namespace lumaro::outputs {

class TablasDBF {
public:
    TablasDBF();
    ~TablasDBF();
    TablasDBF(const TablasDBF&) = delete;
    TablasDBF& operator=(const TablasDBF&) = delete;

    // Reads "RtDbf" of [Inicio] as the origin folder and the configured destination. Returns
    // true when both are set; otherwise logs the configuration problem and returns false.
    bool leerOrigenDestino();
    // Creates the DBF file of table type sParamTipTabla ("C", "T", "A", "K") for the snapshot
    // sNombreFileTemp in folder sRutaDestDBF, ready for setRegistro. An existing file of that
    // name (this store's unsent file of the same day) is replaced, with a log line. Returns
    // false, having said why (box or log line), when nothing could be prepared.
    bool syncTM(const QString& sRutaDestDBF, const QString& sParamTipTabla,
                const QString& sNombreFileTemp);
    // Appends one record to the file prepared by syncTM; false when it was left out (logged,
    // except when no file is prepared, whose cause syncTM already logged).
    bool setRegistro(const QStringList& aParams);

    // The same record built element by element, for a caller that has the values at hand (the
    // copy) and no element texts: empezarRegistro, then elemento for every column (code and
    // value as in setRegistro), then grabarRegistro. elemento is false where setRegistro would
    // leave the record out; the caller then hands the row to setRegistro, which logs why.
    // grabarRegistro calls `elementos` (returning the row's element texts) only to log a write
    // error.
    void empezarRegistro();
    bool elemento(int i, QChar codigo, QStringView valor);
    template <class Elementos>
    bool grabarRegistro(Elementos&& elementos) {
        if (!m_archivo) return false;
        if (escribirTupla()) return true;
        logFallo(elementos(), causaEscritura());
        return false;
    }
    // Completes the file (record count in its header) and closes it; a write error that shows
    // only now (a full disk) is logged. Safe to call twice.
    void cerrar();

    // True when the drive (root) and every folder of ruta exist; logs the first missing part.
    bool existeEstructura(const QString& ruta) const;

    QString origen() const { return m_origen; }
    QString destinoConfigurado() const { return m_destinoConfigurado; }
    QString nombreTabla() const { return m_nombreTabla; }
    // The full path of the file prepared by syncTM; empty before.
    QString rutaArchivo() const { return m_ruta; }
    bool abierto() const { return m_archivo != nullptr; }
    int registros() const { return m_registros; }

private:
    bool crearDBF();
    void logFallo(const QStringList& aParams, const QString& causa) const;
    // Puts element i's value into its field of m_registro; an empty text on success, else why.
    QString escribirCampo(int i, QChar codigo, QStringView valor);
    // Appends m_registro as the next record; false on a write error.
    bool escribirTupla();
    QString causaEscritura() const;

    QString m_origen, m_destinoConfigurado;
    QString m_destino, m_tipo, m_nombreTabla, m_ruta;
    const std::vector<ColumnaDBF>* m_columnas = nullptr;
    const snapshot::Table* m_tabla = nullptr;
    std::vector<int> m_desplazamientos;  // offset of each field in the record
    QByteArray m_registro;               // one record, deletion mark included, reused
    struct Archivo;  // the open shapelib handle; only TablasDBF.cpp sees the library
    std::unique_ptr<Archivo> m_archivo;
    int m_registros = 0;
};

}  // namespace lumaro::outputs
