#include "ftp/FtpClient.h"

#include <curl/curl.h>

#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

#include "config/Console.h"
#include "config/RunState.h"
#include "ftp/FtpUtil.h"

namespace lumaro::ftp {

namespace {

// How often a running transfer lets window events through.
constexpr qint64 kEventIntervalMs = 100;

size_t appendToBuffer(char* data, size_t size, size_t count, void* target) {
    static_cast<QByteArray*>(target)->append(data, static_cast<qsizetype>(size * count));
    return size * count;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

size_t writeToFile(char* data, size_t size, size_t count, void* target) {
    const qint64 written =
        static_cast<QFile*>(target)->write(data, static_cast<qint64>(size * count));
    return written < 0 ? 0 : static_cast<size_t>(written);
}

size_t readFromFile(char* buffer, size_t size, size_t count, void* source) {
    const qint64 read =
        static_cast<QFile*>(source)->read(buffer, static_cast<qint64>(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(read);
}

int onProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* lastEvents = static_cast<QElapsedTimer*>(clientp);
    if (!lastEvents->isValid() || lastEvents->elapsed() >= kEventIntervalMs) {
        lumaro::config::console().processEvents();
        lastEvents->start();
    }
    return lumaro::config::runState().cancelTransfer ? 1 : 0;
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

// What a TLS failure means for the operator, after libcurl's own text.
QString explicacionTls(CURLcode code) {
    switch (code) {
        case CURLE_USE_SSL_FAILED:
            return QStringLiteral(
                " (el servidor FTP no acepta TLS y FtpTLS lo exige: no se "
                "inicia sesion)");
        case CURLE_SSL_CONNECT_ERROR:
            return QStringLiteral(" (no se pudo establecer TLS con el servidor FTP)");
        case CURLE_PEER_FAILED_VERIFICATION:
            return QStringLiteral(
                " (no se pudo verificar el certificado del servidor FTP: no "
                "se transfiere nada)");
        case CURLE_SSL_CACERT_BADFILE:
            return QStringLiteral(" (no se pudo leer el archivo de FtpCA)");
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

QStringList entriesFrom(const QByteArray& reply, bool mlsd) {
    QStringList entries;
    const QString text = QString::fromUtf8(reply);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString entry = mlsd ? entryFromMlsd(line) : line;
        if (entry.isEmpty() || isTemporaryName(entry)) continue;
        entries.append(entry);
    }
    return entries;
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
    QElapsedTimer lastEvents;
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
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &lastEvents);
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
    }

    FtpResult perform() {
        if (lumaro::config::runState().cancelTransfer)
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
        const CURLcode code = curl_easy_perform(curl);
        if (code == CURLE_OK) return FtpResult::success();
        FtpResult result;
        result.code = static_cast<int>(code);
        result.notConnected = isConnectionFailure(code, curl);
        result.message =
            ocultarClaves(QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code)) +
                              explicacionTls(code),
                          {settings.password});
        return result;
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
        QByteArray reply;
        m_impl->prepare(path);
        curl_easy_setopt(m_impl->curl, CURLOPT_TIMEOUT,
                         static_cast<long>(m_impl->timeouts.listingSeconds));
        if (mlsd)
            curl_easy_setopt(m_impl->curl, CURLOPT_CUSTOMREQUEST, "MLSD");
        else
            curl_easy_setopt(m_impl->curl, CURLOPT_DIRLISTONLY, 1L);
        curl_easy_setopt(m_impl->curl, CURLOPT_WRITEFUNCTION, appendToBuffer);
        curl_easy_setopt(m_impl->curl, CURLOPT_WRITEDATA, &reply);
        const FtpResult result = m_impl->perform();
        if (result.ok) {
            *entries = entriesFrom(reply, mlsd);
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
    QFile file(localPath);
    // Unbuffered, so a full disk shows at the write that failed, not later.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return FtpResult::failure(file.errorString());
    m_impl->prepare(remotePath);
    curl_easy_setopt(m_impl->curl, CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(m_impl->curl, CURLOPT_WRITEDATA, &file);
    FtpResult result = m_impl->perform();
    if (result.ok) *expectedSize = m_impl->announcedSize();
    if (!result.ok && result.code == CURLE_WRITE_ERROR)
        result.message += QStringLiteral(" (") + file.errorString() + QLatin1Char(')');
    file.close();
    if (result.ok && file.error() != QFileDevice::NoError)
        return FtpResult::failure(file.errorString());
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
    if (!file.open(QIODevice::ReadOnly)) return FtpResult::failure(file.errorString());
    const QString temporary = name + QLatin1String(kTemporarySuffix);
    // Runs in the exchange folder once the data is complete; "*" lets a missing old file pass.
    CommandList after;
    if (replace) after.add(QStringLiteral("*DELE ") + name);
    after.add(QStringLiteral("RNFR ") + temporary);
    after.add(QStringLiteral("RNTO ") + name);
    m_impl->prepare(remoteFolder + QLatin1Char('/') + temporary);
    curl_easy_setopt(m_impl->curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_impl->curl, CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(m_impl->curl, CURLOPT_READDATA, &file);
    curl_easy_setopt(m_impl->curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
    curl_easy_setopt(m_impl->curl, CURLOPT_POSTQUOTE, after.list);
    return m_impl->perform();
}

}  // namespace lumaro::ftp
