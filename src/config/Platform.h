#pragma once
// The few file-system calls that differ between POSIX systems and Windows. Everything else of
// the program reaches files through Qt and the standard library.

#include <QByteArray>
#include <QString>

namespace lumaro::config::platform {

// True for an error number that means the disk, or the user's quota on it, is full.
bool diskFull(int error);

// True when this process may write into the folder.
bool folderWritable(const QString& folder);

// Flushes a file, or a folder's entries, to the disk; false when that could not be done.
bool syncToDisk(const QString& path);

// Replaces the file at path (a link: the file it names) with bytes without ever leaving less
// than was there: a temporary file beside it is written, flushed to the disk and renamed over
// the old one, keeping the old file's permissions. False with the error number in *error.
bool replaceDurably(const QString& path, const QByteArray& bytes, int* error);

// True while the process with this id runs, also under another user; true when that cannot be
// told.
bool processRunning(qint64 pid);

// The running program's file as the system knows it (usable before the application object
// exists); empty when it cannot be told.
QString executableFile();

}  // namespace lumaro::config::platform
