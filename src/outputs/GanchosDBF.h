#pragma once
// File access for shapelib's DBF writer (internal to this library; includes shapefil.h).
//
// shapelib asks for the position and seeks to it before every record it writes; on a plain
// stdio file each of those is a system call and each seek also empties the write buffer, so a
// record cost three system calls. These hooks keep the position themselves and skip a seek to
// where the file already is, so records go out in large buffered writes. Names are UTF-8
// (wide names on Windows). The last error shapelib reported is kept for the log.

#include <shapefil.h>

#include <QString>

namespace lumaro::outputs {

SAHooks ganchosDBF();
// The last error shapelib reported through the hooks; cleared by limpiarErrorDBF.
QString ultimoErrorDBF();
void limpiarErrorDBF();

}  // namespace lumaro::outputs
