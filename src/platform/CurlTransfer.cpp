#include "platform/CurlTransfer.h"

#include "platform/Ansi.h"
#include "platform/FileSystem.h"
#include "platform/Logging.h"
#include "platform/MajError.h"

#include "UploadTrust.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QRegularExpression>

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace maj {

namespace {

// The old transfer control's own error numbers, and the runtime's "invalid argument".
constexpr int StillExecutingLastRequest = 35764;
constexpr int InvalidArgument = 5;

using FilePtr = std::unique_ptr<std::FILE, decltype([](std::FILE* file) { std::fclose(file); })>;

// A remote folder: segments below the login folder, or below the server's root when absolute.
struct RemoteFolder
{
    QStringList segments;
    bool absolute = false;

    // Applies a relative or absolute path ("./SIGN/", "../x", "/pub") as the FTP "cd" does.
    RemoteFolder resolved(const QString& path) const
    {
        RemoteFolder result = path.startsWith(u'/') ? RemoteFolder{{}, true} : *this;
        for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
            if (part == u"..") {
                if (!result.segments.isEmpty())
                    result.segments.removeLast();
            } else if (part != u".") {
                result.segments.append(part);
            }
        }
        return result;
    }

    // The URL path of the folder, each segment escaped, ending with "/". curl takes the path
    // relative to the login folder; "%2F" makes it start at the root.
    QByteArray urlPath() const
    {
        QByteArray path = absolute ? "/%2F" : "/";
        for (const QString& segment : segments)
            path += escapeSegment(segment) + '/';
        return path;
    }

    // From the Windows-1252 bytes, as the notification's values: the server stores the very name the
    // page is told.
    static QByteArray escapeSegment(const QString& segment) { return toAnsi(segment).toPercentEncoding(); }
};

// Splits a command into words at blanks; double quotes group a word holding blanks.
// Not QProcess::splitCommand: that one also splits at tabs, drops an empty quoted word and reads
// tripled quotes.
QStringList commandWords(const QString& command)
{
    static const QRegularExpression word(QStringLiteral(R"((?:[^ "]|"[^"]*"?)+)"));
    QStringList words;
    for (const QRegularExpressionMatch& m : word.globalMatch(command))
        words.append(m.captured().remove(u'"'));
    return words;
}

bool hasScheme(const QString& address, const char* scheme)
{
    return address.startsWith(QString::fromLatin1(scheme) + QStringLiteral("://"), Qt::CaseInsensitive);
}

} // namespace

struct CurlTransfer::Impl
{
    enum class Kind
    {
        HttpGet,
        FtpFolder,
        FtpPut
    };

    struct Operation
    {
        Kind kind = Kind::HttpGet;
        QByteArray url;
        RemoteFolder folder; // FtpFolder: the folder that becomes current when the change works
        FilePtr file;        // FtpPut: the local file, open for reading
        qint64 size = 0;
    };

    explicit Impl(const TransferSettings& s) : settings(s)
    {
        // Once per process, whatever the number of transfers (thread-safe, as any static's start).
        [[maybe_unused]] static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
        easy.reset(curl_easy_init());
    }

    ~Impl()
    {
        abort = true;
        if (worker.joinable())
            worker.join();
    }

    void start(Operation operation)
    {
        if (worker.joinable())
            worker.join();
        running = true;
        worker = std::thread([this, op = std::move(operation)]() mutable {
            run(op);
            running = false;
            // Wakes the creating thread's event loop so that its wait sees the end now.
            if (QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    &wakeTarget, [] {}, Qt::QueuedConnection);
        });
    }

    // The URL of a path on the current FTP login, the credentials kept from the FTP address.
    QByteArray ftpUrl(const QByteArray& path) const
    {
        const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
        char* text = nullptr;
        if (!url || curl_url_set(url.get(), CURLUPART_URL, ftpAddress.constData(), 0) != CURLUE_OK ||
            curl_url_set(url.get(), CURLUPART_PATH, path.constData(), 0) != CURLUE_OK ||
            curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
            throw MajError(InvalidArgument, QStringLiteral("Adresse FTP incorrecte"));
        QByteArray result(text);
        curl_free(text);
        return result;
    }

    // Every operation: HTTPS or FTP with AUTH TLS before the login, the data protected too (no CCC),
    // the certificate and the host name checked against the settings' authorities and pin. False
    // when this libcurl refuses one of them: the operation must not run without it.
    bool requireTls(CURL* h) const
    {
        bool set = curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,ftp") == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL)) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS)) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_FTP_SSL_CCC, long(CURLFTPSSL_CCC_NONE)) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
                   curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
        if (!settings.caCertificates.isEmpty()) {
            // The build's authorities alone, not the system's beside them.
            curl_blob blob{const_cast<char*>(settings.caCertificates.constData()),
                           size_t(settings.caCertificates.size()), CURL_BLOB_COPY};
            set = set && curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK &&
                  curl_easy_setopt(h, CURLOPT_CAPATH, nullptr) == CURLE_OK;
        }
        if (!settings.pinnedKey.isEmpty())
            set = set && curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, settings.pinnedKey.constData()) == CURLE_OK;
        return set;
    }

    // Why a transfer failed, in French.
    static QString frenchFailure(CURLcode rc)
    {
        static const char* const weirdReply = "le serveur a donné une réponse incompréhensible";
        static const char* const noDataConnection = "la connexion de données FTP n'a pu s'établir";
        static const QHash<int, const char*> texts = {
            {CURLE_COULDNT_RESOLVE_HOST, "le nom du serveur n'a pu être résolu"},
            {CURLE_COULDNT_RESOLVE_PROXY, "le nom du proxy n'a pu être résolu"},
            {CURLE_COULDNT_CONNECT, "la connexion au serveur a été refusée ou n'a pu se faire"},
            {CURLE_OPERATION_TIMEDOUT, "le serveur n'a pas répondu à temps"},
            {CURLE_LOGIN_DENIED, "le serveur a refusé l'identifiant ou le mot de passe"},
            {CURLE_REMOTE_ACCESS_DENIED, "le serveur a refusé l'accès au dossier ou au fichier"},
            {CURLE_UPLOAD_FAILED, "le serveur a refusé le fichier envoyé"},
            {CURLE_READ_ERROR, "le fichier à envoyer n'a pu être lu"},
            {CURLE_HTTP_RETURNED_ERROR, "le serveur a répondu par une erreur"},
            {CURLE_GOT_NOTHING, "le serveur n'a rien répondu"},
            {CURLE_SEND_ERROR, "l'envoi de données au serveur a été interrompu"},
            {CURLE_RECV_ERROR, "la réception des données du serveur a été interrompue"},
            {CURLE_WEIRD_SERVER_REPLY, weirdReply},
            {CURLE_FTP_WEIRD_PASV_REPLY, weirdReply},
            {CURLE_FTP_WEIRD_227_FORMAT, weirdReply},
            {CURLE_FTP_CANT_GET_HOST, noDataConnection},
            {CURLE_FTP_ACCEPT_FAILED, noDataConnection},
            {CURLE_FTP_ACCEPT_TIMEOUT, noDataConnection},
            {CURLE_FTP_PORT_FAILED, noDataConnection},
            {CURLE_ABORTED_BY_CALLBACK, "le transfert a été interrompu"},
            {CURLE_USE_SSL_FAILED, "le serveur ne propose pas de connexion chiffrée (TLS), rien ne lui a été envoyé"},
            {CURLE_PEER_FAILED_VERIFICATION, "le certificat du serveur n'a pu être vérifié, rien ne lui a été envoyé"},
            {CURLE_SSL_PINNEDPUBKEYNOTMATCH,
             "la clé publique du serveur n'est pas celle attendue, rien ne lui a été envoyé"},
            {CURLE_SSL_CONNECT_ERROR, "la connexion chiffrée (TLS) n'a pu être établie"},
            {CURLE_UNSUPPORTED_PROTOCOL, "adresse refusée : seuls HTTPS et FTP chiffré sont permis"},
            {CURLE_NOT_BUILT_IN, "cette version de libcurl ne sait pas exiger TLS, rien n'a été envoyé"},
        };
        if (const char* text = texts.value(rc))
            return QString::fromUtf8(text);
        return QStringLiteral("le transfert a échoué : ") + QString::fromUtf8(curl_easy_strerror(rc));
    }

    static size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

    static size_t readFile(char* buffer, size_t size, size_t count, void* file)
    {
        return std::fread(buffer, size, count, static_cast<std::FILE*>(file));
    }

    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<Impl*>(self)->abort ? 1 : 0;
    }

    // Runs on the worker thread.
    void run(Operation& op)
    {
        CURL* h = easy.get();
        // Keeps the live connection and its current folder; clears the previous operation's options.
        curl_easy_reset(h);
        errorText[0] = 0;
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_TIMEOUT, long(settings.requestTimeout));
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(settings.requestTimeout));
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Impl::progress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::discard);
        curl_easy_setopt(h, CURLOPT_URL, op.url.constData());
        curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L); // binary
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        const bool secured = !settings.tls || requireTls(h);
        if (!settings.tls)
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");

        switch (op.kind) {
        case Kind::HttpGet:
            curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
            break;
        case Kind::FtpFolder:
            // Logs in and changes folder without transferring anything.
            curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
            break;
        case Kind::FtpPut:
            curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(h, CURLOPT_READFUNCTION, &Impl::readFile);
            curl_easy_setopt(h, CURLOPT_READDATA, op.file.get());
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(op.size));
            break;
        }

        const CURLcode rc = secured ? curl_easy_perform(h) : CURLE_NOT_BUILT_IN;
        long response = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response);
        static const char* const kNames[] = {"GET", "cd", "put"}; // by Kind
        qCDebug(lcNet).noquote() << kNames[int(op.kind)] << "ended:" << int(rc)
                                 << (errorText[0] ? errorText : curl_easy_strerror(rc)) << "response" << response;
        // For the log: libcurl's generic text, never the address, which holds the password, and
        // libcurl's code beside for the maker's support.
        outcome = rc == CURLE_OK ? QStringLiteral("réussi")
                                 : QStringLiteral("échec : ") + frenchFailure(rc) + QStringLiteral(" (libcurl ") +
                                       QString::number(int(rc)) + u')';
        if (response != 0)
            outcome += QStringLiteral(" (réponse ") + QString::number(response) + u')';

        if (op.kind == Kind::FtpFolder) {
            // A refused folder change leaves the login and its folder as they were, as on an FTP
            // session; a failed connection or login leaves no connection for the commands after it.
            if (rc == CURLE_OK)
                folder = op.folder;
            connected = rc == CURLE_OK || rc == CURLE_REMOTE_ACCESS_DENIED;
        } else if (op.kind == Kind::FtpPut && rc != CURLE_OK && rc != CURLE_UPLOAD_FAILED &&
                   rc != CURLE_REMOTE_ACCESS_DENIED) {
            connected = false;
        }
    }

    TransferSettings settings;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy{nullptr, &curl_easy_cleanup};
    std::thread worker;
    std::atomic<bool> running{false};
    std::atomic<bool> abort{false};
    QObject wakeTarget;
    char errorText[CURL_ERROR_SIZE] = {};
    QString outcome; // of the last operation, written before `running` drops

    // State of the FTP session, touched by one operation at a time.
    QByteArray ftpAddress;
    RemoteFolder folder;
    bool connected = false;
};

TransferSettings TransferSettings::deployment()
{
    TransferSettings s;
    s.tls = deployment::kUploadTls;
    s.caCertificates = QByteArray(deployment::kUploadCa);
    s.pinnedKey = QByteArray(deployment::kUploadPin);
    s.webBaseUrl = (s.tls ? QStringLiteral("https://") : QStringLiteral("http://")) + QStringLiteral(MAJ_WEB_HOST "/");
    s.ftpHost = QStringLiteral(MAJ_FTP_HOST);
    s.userName = QStringLiteral(MAJ_FTP_USER);
    s.password = QStringLiteral(MAJ_FTP_PASSWORD);
    s.requestTimeout = 60;
    return s;
}

CurlTransfer::CurlTransfer(TransferSettings settings)
    : Transfer(std::move(settings)), m_impl(std::make_unique<Impl>(this->settings()))
{}

CurlTransfer::~CurlTransfer() = default;

bool CurlTransfer::stillExecuting()
{
    return m_impl->running;
}

QString CurlTransfer::lastOutcome() const
{
    return m_impl->running ? QString() : m_impl->outcome;
}

void CurlTransfer::execute(const QString& address, const QString& command)
{
    Impl& d = *m_impl;
    if (d.running)
        throw MajError(StillExecutingLastRequest,
                       QStringLiteral("Exécution de la requête précédente toujours en cours"));
    if (!d.easy)
        throw MajError(InvalidArgument, QStringLiteral("Composant de transfert indisponible"));
    if (d.worker.joinable())
        d.worker.join(); // the previous operation has ended: its session state is ours to read

    if (!address.isEmpty()) {
        URL = address;
        if (hasScheme(address, "http") || hasScheme(address, "https")) {
            protocol = Http;
            if (!command.isEmpty())
                throw MajError(InvalidArgument, QStringLiteral("Commande inconnue en HTTP: ") + command);
            Impl::Operation op;
            op.url = address.toUtf8();
            d.start(std::move(op));
            return;
        }
        if (!hasScheme(address, "ftp"))
            throw MajError(InvalidArgument, QStringLiteral("Adresse incorrecte: ") + address);
        protocol = Ftp;
        // A new FTP address starts a new session in its login folder.
        d.ftpAddress = address.toUtf8();
        d.folder = {};
        d.connected = false;
        if (command.isEmpty()) {
            Impl::Operation op;
            op.kind = Impl::Kind::FtpFolder;
            op.url = d.ftpUrl(d.folder.urlPath());
            d.start(std::move(op));
            return;
        }
    } else if (!d.connected) {
        // No session to run the command on: it ends at once, as a failed operation does.
        qCDebug(lcNet).noquote() << "no FTP connection for:" << command;
        d.outcome = QStringLiteral("non exécuté : pas de connexion FTP");
        return;
    }

    Impl::Operation op;
    const QStringList words = commandWords(command);
    const QString verb = words.value(0).toLower();
    if (verb == u"cd" && words.size() == 2) {
        op.kind = Impl::Kind::FtpFolder;
        op.folder = d.folder.resolved(words.at(1));
        op.url = d.ftpUrl(op.folder.urlPath());
    } else if (verb == u"put" && words.size() == 3) {
        const QString remote = words.at(2);
        const qsizetype slash = remote.lastIndexOf(u'/');
        const QString name = remote.mid(slash + 1);
        if (name.isEmpty())
            throw MajError(InvalidArgument, QStringLiteral("Nom distant incorrect: ") + remote);
        const RemoteFolder target = slash >= 0 ? d.folder.resolved(remote.left(slash + 1)) : d.folder;
        const QString local = fs::hostPath(words.at(1));
        op.file.reset(std::fopen(QFile::encodeName(local).constData(), "rb"));
        if (!op.file)
            throw MajError(err::FileNotFound);
        op.size = QFileInfo(local).size();
        op.kind = Impl::Kind::FtpPut;
        op.url = d.ftpUrl(target.urlPath() + RemoteFolder::escapeSegment(name));
    } else {
        throw MajError(InvalidArgument, QStringLiteral("Commande inconnue: ") + command);
    }
    d.start(std::move(op));
}

} // namespace maj
