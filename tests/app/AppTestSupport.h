#pragma once

#include "TestSupport.h"
#include "platform/jet/Sqlite.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

// What the window tests share: waits in the event loop.
namespace maj::test {

// Lets the event loop run for `ms` milliseconds.
inline void waitFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the event loop run until `done` holds or `ms` milliseconds pass; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

} // namespace maj::test
