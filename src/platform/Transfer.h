#pragma once

#include <QString>

// The Internet transfer component: one operation at a time, started by execute() and polled with
// stillExecuting(). The libcurl implementation runs the operation off the calling thread.
namespace maj {

class Transfer
{
public:
    enum Protocol { Http = 4, Ftp = 2 };

    virtual ~Transfer() = default;

    // With an HTTP address and no command: fetches it. With an FTP address: connects, logs in with
    // the address's credentials, then runs the command ("cd ./SIGN/"). With no address: runs the
    // command ("put <local path> <remote name>") on the current connection. Returns at once.
    virtual void execute(const QString& address, const QString& command = {}) = 0;
    // True while the operation runs; false once it ended, well or badly (time-out included).
    virtual bool stillExecuting() = 0;

    QString URL;
    int protocol = Ftp;
};

} // namespace maj
