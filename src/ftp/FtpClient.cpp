#include "ftp/FtpClient.h"

#include <curl/curl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>

#include "config/Platform.h"
#include "ftp/FtpUtil.h"
#include "run/Console.h"
#include "run/RunState.h"

namespace lumaro::ftp {

namespace {

// How often a running transfer lets window events through.
constexpr qint64 kEventIntervalMs = 100;

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// What a running request watches besides libcurl's own limits: "Parar", a pause once data
// flows, the least average rate and the longest time of FtpTimeouts. `reason` says why a
// callback ended the request.
struct Vigilancia {
    FtpTimeouts limits;
    QElapsedTimer lastEvents;
    QElapsedTimer started;
    QElapsedTimer firstByte;  // invalid until a byte moved
    QElapsedTimer lastByte;
    qint64 lastMoved = 0;
    QString reason;

    void start(const FtpTimeouts& l) {
        limits = l;
        started.start();
        firstByte.invalidate();
        lastMoved = 0;
        reason.clear();
    }

    bool mustStop(qint64 moved) {
        if (lumaro::run::runState().cancelTransfer) {
            reason = QStringLiteral("Transferencia cancelada.");
            return true;
        }
        if (started.elapsed() > 1000LL * limits.maxTransferSeconds) {
            reason = QStringLiteral("la transferencia supero el tiempo maximo de %1 s")
                         .arg(limits.maxTransferSeconds);
            return true;
        }
        if (moved > 0 && !firstByte.isValid()) firstByte.start();
        if (!firstByte.isValid()) return false;
        if (moved != lastMoved || !lastByte.isValid()) {
            lastMoved = moved;
            lastByte.start();
        }
        if (lastByte.elapsed() > 1000LL * limits.stallSeconds) {
            reason = QStringLiteral("el FTP dejo de responder o de enviar datos durante %1 s")
                         .arg(limits.stallSeconds);
            return true;
        }
        const qint64 counted = firstByte.elapsed() - 1000LL * limits.graceSeconds;
        if (counted <= 0 || moved * 1000 >= counted * limits.minBytesPerSecond) return false;
        reason = QStringLiteral(
                     "la transferencia es demasiado lenta: %1 bytes en %2 s (minimo %3 bytes/s "
                     "pasados los primeros %4 s)")
                     .arg(moved)
                     .arg(firstByte.elapsed() / 1000)
                     .arg(limits.minBytesPerSecond)
                     .arg(limits.graceSeconds);
        return true;
    }
};

int onProgress(void* clientp, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* watch = static_cast<Vigilancia*>(clientp);
    if (!watch->lastEvents.isValid() || watch->lastEvents.elapsed() >= kEventIntervalMs) {
        lumaro::run::console().processEvents();
        watch->lastEvents.start();
    }
    return watch->mustStop(static_cast<qint64>(dlnow + ulnow)) ? 1 : 0;
}

// A download's file; a write that fails says why in `reason`, naming the folder when the
// disk is full.
struct Destino {
    QFile file;
    QString* reason = nullptr;
};

// Why a local file could not be created or written, read right after the failure; a full
// disk names its folder.
QString motivoEscritura(const QFile& file) {
    const bool full =
        config::platform::diskFull(errno) || file.error() == QFileDevice::ResourceError;
    const QFileInfo info(file.fileName());
    if (full)
        return QStringLiteral("sin espacio en ") + QDir::toNativeSeparators(info.absolutePath());
    return QStringLiteral("no se pudo escribir ") +
           QDir::toNativeSeparators(info.absoluteFilePath()) + QStringLiteral(": ") +
           file.errorString();
}

size_t writeToFile(char* data, size_t size, size_t count, void* target) {
    auto* destino = static_cast<Destino*>(target);
    const qint64 length = static_cast<qint64>(size * count);
    if (destino->file.write(data, length) == length) return size * count;
    *destino->reason = motivoEscritura(destino->file);
    return 0;
}

size_t readFromFile(char* buffer, size_t size, size_t count, void* source) {
    const qint64 read =
        static_cast<QFile*>(source)->read(buffer, static_cast<qint64>(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(read);
}

// Errors that mean the server was never reached or never let us in.
bool isConnectionFailure(CURLcode code, CURL* curl) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_LOGIN_DENIED:
        case CURLE_FTP_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
        case CURLE_URL_MALFORMAT:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return true;
        case CURLE_OPERATION_TIMEDOUT: {
            // Timed out before the login was answered: no reply yet, the greeting, or the
            // request for the password.
            long reply = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
            return reply == 0 || reply == 220 || reply == 331;
        }
        default:
            return false;
    }
}

// What a TLS failure means for the operator; empty for other errors.
QString textoTls(CURLcode code) {
    switch (code) {
        case CURLE_USE_SSL_FAILED:
            return QStringLiteral(
                "el servidor FTP no acepta TLS y FtpTLS lo exige: no se inicia sesion");
        case CURLE_SSL_CONNECT_ERROR:
            return QStringLiteral("no se pudo establecer TLS con el servidor FTP");
        case CURLE_PEER_FAILED_VERIFICATION:
            return QStringLiteral(
                "no se pudo verificar el certificado del servidor FTP: no se transfiere nada");
        case CURLE_SSL_CACERT_BADFILE:
            return QStringLiteral("no se pudo leer el archivo de FtpCA");
        default:
            return QString();
    }
}

// Replies meaning "command not implemented": the server has no MLSD.
bool isNotImplemented(long reply) {
    return reply == 500 || reply == 501 || reply == 502 || reply == 504;
}

// Splits an MLSD line "fact=value;fact=value; name" into name and type.
QString entryFromMlsd(const QString& line) {
    const qsizetype gap = line.indexOf(QLatin1String("; "));
    if (gap < 0) return QString();
    const QString name = line.mid(gap + 2);
    const QString facts = line.left(gap).toLower();
    for (const QString& fact : facts.split(QLatin1Char(';'))) {
        if (fact == QLatin1String("type=cdir") || fact == QLatin1String("type=pdir"))
            return QString();
        if (fact == QLatin1String("type=dir")) return name + QLatin1Char('/');
    }
    return name;
}

// A listing read line by line as it arrives: only its entries are kept, and it ends as soon
// as it passes its bounds, with the reason.
struct Listado {
    bool mlsd = false;
    QString folder;
    FtpTimeouts limits;
    QString* reason = nullptr;
    qint64 bytes = 0;
    QByteArray partial;  // the line still arriving
    QStringList entries;

    void line(QByteArray text) {
        if (text.endsWith('\r')) text.chop(1);
        const QString line = QString::fromUtf8(text);
        const QString entry = mlsd ? entryFromMlsd(line) : line;
        if (!entry.isEmpty() && !isTemporaryName(entry)) entries.append(entry);
    }
    bool tooLarge() {
        if (bytes > limits.maxListingBytes)
            *reason = QStringLiteral("el listado de la carpeta %1 del FTP ocupa mas de %2 bytes")
                          .arg(folder)
                          .arg(limits.maxListingBytes);
        else if (entries.size() > limits.maxListingEntries)
            *reason = QStringLiteral("el listado de la carpeta %1 del FTP tiene mas de %2 entradas")
                          .arg(folder)
                          .arg(limits.maxListingEntries);
        return !reason->isEmpty();
    }
};

size_t toListing(char* data, size_t size, size_t count, void* target) {
    auto* listado = static_cast<Listado*>(target);
    listado->bytes += static_cast<qint64>(size * count);
    listado->partial.append(data, static_cast<qsizetype>(size * count));
    qsizetype start = 0;
    for (qsizetype end; (end = listado->partial.indexOf('\n', start)) >= 0; start = end + 1)
        listado->line(listado->partial.mid(start, end - start));
    listado->partial.remove(0, start);
    return listado->tooLarge() ? 0 : size * count;
}

// A curl_slist that frees itself.
struct CommandList {
    curl_slist* list = nullptr;
    std::vector<QByteArray> keep;
    void add(const QString& command) {
        keep.push_back(command.toUtf8());
        list = curl_slist_append(list, keep.back().constData());
    }
    ~CommandList() { curl_slist_free_all(list); }
};

}  // namespace

bool tlsEnModoActivoDisponible() {
    // libcurl 7.87.0 to 7.88.1 accept the server's data connection of active mode without
    // starting TLS on it: the data would travel in clear, or not at all.
    const unsigned int version = curl_version_info(CURLVERSION_NOW)->version_num;
    return version < 0x075700 || version >= 0x080000;
}

bool isTemporaryName(const QString& name) {
    QString bare = name.trimmed();
    if (bare.endsWith(QLatin1Char('/'))) bare.chop(1);
    return bare.endsWith(QLatin1String(kTemporarySuffix));
}

struct FtpClient::Impl {
    FtpSettings settings;
    FtpTimeouts timeouts = ftpTimeouts();
    CURL* curl = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    Vigilancia watch;
    QByteArray url;
    QByteArray user;
    QByteArray password;
    QByteArray caFile;

    // Resets the handle (the connection stays open) and sets what every request shares.
    void prepare(const QString& remotePath) {
        curl_easy_reset(curl);
        url = "ftp://" + settings.host.toUtf8() + "/" +
              QUrl::toPercentEncoding(remotePath, QByteArrayLiteral("/"));
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
        if (settings.passive) {
            curl_easy_setopt(curl, CURLOPT_FTPPORT, nullptr);
        } else {
            // Active mode on the address of the control connection, with PORT as the server
            // expects it.
            curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
            curl_easy_setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
        }
        if (settings.tls) requireTls();
        curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts.connectSeconds));
        curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         static_cast<long>(timeouts.responseSeconds));
        curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, 1000L * timeouts.responseSeconds);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.stallSeconds));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, discard);
        errorText[0] = '\0';
    }

    // Explicit TLS on control and data, or no session at all: libcurl stops before USER when
    // the server refuses AUTH TLS. Peer and host name checks are stated, not left to defaults.
    void requireTls() {
        exigirTls(curl, caFile);
        curl_easy_setopt(curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        // Before 8.9.0 libcurl closes an upload's data connection without reading what a TLS
        // 1.3 server sent after the handshake; the reset that follows can cost the server the
        // end of the file, which some servers then take as complete. TLS 1.2 sends nothing
        // there.
        if (curl_version_info(CURLVERSION_NOW)->version_num < 0x080900)
            curl_easy_setopt(curl, CURLOPT_SSLVERSION,
                             static_cast<long>(CURL_SSLVERSION_TLSv1_2) |
                                 static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
    }

    FtpResult perform() {
        if (lumaro::run::runState().cancelTransfer)
            return FtpResult::failure(QStringLiteral("Transferencia cancelada."));
        if (settings.tls && !settings.passive && !tlsEnModoActivoDisponible()) {
            FtpResult refused = FtpResult::failure(
                QStringLiteral("libcurl ") +
                QString::fromLatin1(curl_version_info(CURLVERSION_NOW)->version) +
                QStringLiteral(" no cifra la conexion de datos en modo activo: con FtpTLS "
                               "configure FtpPasivo=1. No se inicia sesion."));
            refused.notConnected = true;
            return refused;
        }
        watch.start(timeouts);
        const CURLcode code = curl_easy_perform(curl);
        if (code == CURLE_OK) return FtpResult::success();
        FtpResult result;
        result.code = static_cast<int>(code);
        result.notConnected = isConnectionFailure(code, curl);
        // libcurl keeps the first message of a request, which may be an earlier harmless one
        // (active mode leaves one about inet_ntop at every PORT): its text for the error itself
        // comes first, and that note is left out.
        QString text = QString::fromUtf8(curl_easy_strerror(code));
        const QString detail = QString::fromUtf8(errorText);
        if (!detail.isEmpty() && detail != text && !detail.contains(QLatin1String("inet_ntop()")))
            text += QStringLiteral(": ") + detail;
        const QString tls = textoTls(code);
        if (!tls.isEmpty()) text += QStringLiteral(" (") + tls + QLatin1Char(')');
        if (!watch.reason.isEmpty())
            text = watch.reason + QStringLiteral(" (") + text + QLatin1Char(')');
        result.message = ocultarClaves(text, {settings.password});
        result.cause =
            ocultarClaves(watch.reason.isEmpty() ? causa(code, result.notConnected, result.message)
                                                 : watch.reason,
                          {settings.password});
        return result;
    }

    // The server as the operator wrote it, with the default port when none is given.
    QString direccion() const {
        return settings.host.contains(QLatin1Char(':')) ? settings.host
                                                        : settings.host + QStringLiteral(":21");
    }

    QString causa(CURLcode code, bool notConnected, const QString& message) {
        const QString tls = textoTls(code);
        if (!tls.isEmpty()) return tls;
        if (code == CURLE_LOGIN_DENIED)
            return QStringLiteral("el FTP rechazo el usuario ") + settings.user;
        if (code == CURLE_URL_MALFORMAT)
            return QStringLiteral("IpFtp no es una direccion valida: ") + settings.host;
        if (notConnected) return QStringLiteral("el servidor FTP no responde en ") + direccion();
        switch (code) {
            case CURLE_PARTIAL_FILE:
                return QStringLiteral("transferencia cortada: ") + message;
            case CURLE_OPERATION_TIMEDOUT:
                return QStringLiteral("el FTP dejo de responder o de enviar datos: ") + message;
            default:
                break;
        }
        const long reply = lastReply();
        if (reply >= 400) return QStringLiteral("el FTP respondio %1: ").arg(reply) + message;
        return QStringLiteral("error de FTP: ") + message;
    }

    long lastReply() {
        long reply = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
        return reply;
    }

    qint64 announcedSize() {
        curl_off_t size = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        return static_cast<qint64>(size);
    }

    // Commands sent in the folder of the file remotePath once a request for the file without
    // its data is done (the file's size is asked, so it must exist).
    FtpResult afterwards(const QString& remotePath, const CommandList& commands) {
        prepare(remotePath);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTQUOTE, commands.list);
        return perform();
    }
};

FtpClient::FtpClient(const FtpSettings& settings) : m_impl(std::make_unique<Impl>()) {
    iniciarCurl();
    m_impl->settings = settings;
    m_impl->user = settings.user.toLatin1();
    m_impl->password = settings.password.toLatin1();
    m_impl->caFile = QFile::encodeName(settings.caFile);
    m_impl->curl = curl_easy_init();
}

FtpClient::~FtpClient() {
    if (m_impl->curl) curl_easy_cleanup(m_impl->curl);
}

FtpResult FtpClient::list(const QString& folder, QStringList* entries) {
    entries->clear();
    if (!m_impl->curl) return FtpResult::failure(QStringLiteral("libcurl no disponible."));
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const bool mlsd : {true, false}) {
        Listado listado;
        listado.mlsd = mlsd;
        listado.folder = folder;
        listado.limits = m_impl->timeouts;
        listado.reason = &m_impl->watch.reason;
        m_impl->prepare(path);
        curl_easy_setopt(m_impl->curl, CURLOPT_TIMEOUT,
                         static_cast<long>(m_impl->timeouts.listingSeconds));
        if (mlsd)
            curl_easy_setopt(m_impl->curl, CURLOPT_CUSTOMREQUEST, "MLSD");
        else
            curl_easy_setopt(m_impl->curl, CURLOPT_DIRLISTONLY, 1L);
        curl_easy_setopt(m_impl->curl, CURLOPT_WRITEFUNCTION, toListing);
        curl_easy_setopt(m_impl->curl, CURLOPT_WRITEDATA, &listado);
        const FtpResult result = m_impl->perform();
        if (result.ok) {
            if (!listado.partial.isEmpty()) listado.line(listado.partial);
            *entries = std::move(listado.entries);
            return result;
        }
        if (!mlsd || result.notConnected || !isNotImplemented(m_impl->lastReply())) return result;
    }
    return FtpResult::failure(QString());
}

FtpResult FtpClient::download(const QString& remotePath, const QString& localPath,
                              qint64* expectedSize) {
    *expectedSize = -1;
    if (!m_impl->curl) return FtpResult::failure(QStringLiteral("libcurl no disponible."));
    Destino destino;
    destino.file.setFileName(localPath);
    destino.reason = &m_impl->watch.reason;
    // Unbuffered, so a full disk shows at the write that failed, not later.
    if (!destino.file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return FtpResult::failure(motivoEscritura(destino.file));
    m_impl->prepare(remotePath);
    curl_easy_setopt(m_impl->curl, CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(m_impl->curl, CURLOPT_WRITEDATA, &destino);
    FtpResult result = m_impl->perform();
    if (result.ok) *expectedSize = m_impl->announcedSize();
    destino.file.close();
    if (result.ok && destino.file.error() != QFileDevice::NoError)
        return FtpResult::failure(motivoEscritura(destino.file));
    return result;
}

FtpResult FtpClient::remoteSize(const QString& remotePath, qint64* size) {
    *size = -1;
    if (!m_impl->curl) return FtpResult::failure(QStringLiteral("libcurl no disponible."));
    m_impl->prepare(remotePath);
    curl_easy_setopt(m_impl->curl, CURLOPT_NOBODY, 1L);
    const FtpResult result = m_impl->perform();
    if (result.ok) *size = m_impl->announcedSize();
    return result;
}

FtpResult FtpClient::upload(const QString& localPath, const QString& remoteFolder,
                            const QString& name, bool replace) {
    if (!m_impl->curl) return FtpResult::failure(QStringLiteral("libcurl no disponible."));
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return FtpResult::failure(QStringLiteral("no se pudo leer ") +
                                  QDir::toNativeSeparators(localPath) + QStringLiteral(": ") +
                                  file.errorString());
    const qint64 size = file.size();
    const QString temporary =
        remoteFolder + QLatin1Char('/') + name + QLatin1String(kTemporarySuffix);
    m_impl->prepare(temporary);
    curl_easy_setopt(m_impl->curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_impl->curl, CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(m_impl->curl, CURLOPT_READDATA, &file);
    curl_easy_setopt(m_impl->curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    const FtpResult sent = m_impl->perform();
    file.close();
    if (!sent.ok) return sent;

    // A server may end a data connection cut short as if it were complete: the temporary
    // takes the real name only when it holds every byte (a server that will not tell the
    // size is taken at its word).
    qint64 held = -1;
    CommandList after;
    if (remoteSize(temporary, &held).ok && held >= 0 && held != size) {
        after.add(QStringLiteral("*DELE ") + name + QLatin1String(kTemporarySuffix));
        m_impl->afterwards(temporary, after);
        return FtpResult::failure(
            QStringLiteral("subida cortada: el FTP recibio %1 de %2 bytes de %3")
                .arg(held)
                .arg(size)
                .arg(name));
    }
    // "*" lets a missing old file pass.
    if (replace) after.add(QStringLiteral("*DELE ") + name);
    after.add(QStringLiteral("RNFR ") + name + QLatin1String(kTemporarySuffix));
    after.add(QStringLiteral("RNTO ") + name);
    return m_impl->afterwards(temporary, after);
}

}  // namespace lumaro::ftp
