#pragma once

#include <QByteArray>
#include <QString>

#include <utility>

// The Internet transfer component: one operation at a time, started by execute() and polled with
// stillExecuting(). The libcurl implementation (CurlTransfer.h) runs the operation off the
// calling thread.
namespace maj {

// The component's preset properties: where the maker's servers are, how far they are trusted and
// how long an operation may take. A deployment compiles its values in (deployment()); tests use
// loopback addresses and certificates of their own.
struct TransferSettings
{
    QString webBaseUrl;      // "https://host[:port]/" ("http://" without TLS): the page is joined to it
    QString ftpHost;         // "host" or "host:port" (21 when no port is given)
    QString userName;        // FTP account
    QString password;        // FTP account's password
    int requestTimeout = 60; // seconds; bounds each operation, connecting included
    // TLS required: only HTTPS and explicit FTPS (login, commands and data protected), the peer's
    // certificate and name verified, no redirect; a server that cannot do it gets nothing.
    bool tls = true;
    QByteArray caCertificates; // PEM of the authorities trusted; empty: the system's
    QByteArray pinnedKey;      // "sha256//<base64>" of the servers' public key; empty: no pin

    // The values set when the program was built (MAJ_WEB_HOST, MAJ_FTP_HOST, MAJ_FTP_USER,
    // MAJ_FTP_PASSWORD, MAJ_UPLOAD_TLS, MAJ_UPLOAD_CA, MAJ_UPLOAD_PIN), with the 60 s time-out.
    static TransferSettings deployment();
};

class Transfer
{
public:
    enum Protocol
    {
        Ftp = 2,
        Http = 4
    };

    explicit Transfer(TransferSettings settings) : m_settings(std::move(settings)) {}
    virtual ~Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // With an HTTP address and no command: fetches it. With an FTP address: connects, logs in with
    // the address's credentials, then runs the command ("cd ./SIGN/"). With no address: runs the
    // command ("put <local Windows path> <remote name>") on the current connection. Returns at
    // once. Throws MajError when an operation still runs, or for a command it does not know or a
    // local file it cannot open; a failure on the network only ends the operation.
    virtual void execute(const QString& address, const QString& command = {}) = 0;
    // True while the operation runs; false once it ended, well or badly (time-out included).
    virtual bool stillExecuting() = 0;
    // How the last operation ended, in French, without its address ("réussi", "échec : ...").
    virtual QString lastOutcome() const = 0;

    const TransferSettings& settings() const { return m_settings; }

    QString URL;
    int protocol = Ftp;

private:
    TransferSettings m_settings;
};

} // namespace maj
