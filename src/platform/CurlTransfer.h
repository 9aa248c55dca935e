#pragma once

#include "platform/Transfer.h"

#include <memory>

namespace maj {

// The transfer component on libcurl. Each operation runs on a worker thread of its own, one at a
// time, on one easy handle, so the FTP login of "cd" is reused by the "put" that follows. When an
// operation ends the worker wakes the event loop of the thread that created the component, so a
// wait that sleeps in waitForEvents() sees the end at once. Transfers are binary; each is bounded
// by the settings' request time-out (connecting included). Nothing is retried.
//
// Commands: "cd <remote folder>" and "put <local Windows path> <remote path>"; a name holding
// blanks may be written between double quotes.
class CurlTransfer final : public Transfer
{
public:
    explicit CurlTransfer(TransferSettings settings);
    // Stops a running operation at its next progress report and waits for the worker.
    ~CurlTransfer() override;

    void execute(const QString& address, const QString& command = {}) override;
    bool stillExecuting() override;
    QString lastOutcome() const override;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace maj
