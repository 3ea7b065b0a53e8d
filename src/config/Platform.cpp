#include "config/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <iterator>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#endif

namespace lumaro::config::platform {

namespace {

// The temporary name beside a file: hidden, and this process's own.
QByteArray temporal(const QFileInfo& info) {
    return QFile::encodeName(
               QDir(info.absolutePath()).filePath(QLatin1Char('.') + info.fileName())) +
           ".tmp" + QByteArray::number(QCoreApplication::applicationPid());
}

}  // namespace

bool diskFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

#ifdef _WIN32

bool folderWritable(const QString& folder) { return QFileInfo(folder).isWritable(); }

bool syncToDisk(const QString& path) {
    // Windows keeps a folder's entries by itself; only files are flushed.
    if (QFileInfo(path).isDir()) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
    return _commit(file.handle()) == 0;
}

bool replaceDurably(const QString& path, const QByteArray& bytes, int* error) {
    const QFileInfo info(QFileInfo(path).isSymLink() ? QFileInfo(path).symLinkTarget() : path);
    const QString tmp = QFile::decodeName(temporal(info));
    QFile file(tmp);
    const auto fallo = [&](int err) {
        file.close();
        QFile::remove(tmp);
        *error = err;
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fallo(EACCES);
    if (file.write(bytes) != bytes.size() || !file.flush()) return fallo(ENOSPC);
    if (_commit(file.handle()) != 0) return fallo(errno);
    file.close();
    const std::wstring de = QDir::toNativeSeparators(tmp).toStdWString();
    const std::wstring a = QDir::toNativeSeparators(info.absoluteFilePath()).toStdWString();
    if (!MoveFileExW(de.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fallo(EACCES);
    return true;
}

bool processRunning(qint64 pid) {
    HANDLE proceso = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    // Access denied: it runs under another user.
    if (proceso == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD salida = 0;
    const bool corre = GetExitCodeProcess(proceso, &salida) && salida == STILL_ACTIVE;
    CloseHandle(proceso);
    return corre;
}

QString executableFile() {
    wchar_t ruta[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, ruta, DWORD(std::size(ruta)));
    if (n == 0 || n >= std::size(ruta)) return {};
    return QDir::fromNativeSeparators(QString::fromWCharArray(ruta, int(n)));
}

#else

bool folderWritable(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

bool syncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool replaceDurably(const QString& path, const QByteArray& bytes, int* error) {
    // A link keeps pointing at the file it names; that file is the one replaced.
    const QString ruta = QFileInfo(path).isSymLink() ? QFileInfo(path).symLinkTarget() : path;
    const QByteArray destino = QFile::encodeName(ruta);
    const QFileInfo info(ruta);
    const QByteArray tmp = temporal(info);
    mode_t modo = 0644;
    struct stat st;
    if (::stat(destino.constData(), &st) == 0) modo = st.st_mode & 07777;

    const auto fallo = [&](int err, int fd) {
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.constData());
        *error = err;
        return false;
    };
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, modo);
    if (fd < 0) return fallo(errno, -1);
    ::fchmod(fd, modo);  // the creation mask may have narrowed it
    for (qsizetype hecho = 0; hecho < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + hecho, bytes.size() - hecho);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fallo(n < 0 ? errno : ENOSPC, fd);
        hecho += n;
    }
    if (::fsync(fd) != 0) return fallo(errno, fd);
    if (::close(fd) != 0) return fallo(errno, -1);
    if (::rename(tmp.constData(), destino.constData()) != 0) return fallo(errno, -1);
    // The rename itself reaches the disk with the folder's entry.
    syncToDisk(info.absolutePath());
    return true;
}

bool processRunning(qint64 pid) {
    // EPERM: it runs under another user, as the service does.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString executableFile() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QString() : QFile::decodeName(self.string().c_str());
}

#endif

}  // namespace lumaro::config::platform
