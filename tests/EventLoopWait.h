#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace fixtures {

// Runs the UI event loop until cond holds; false when a generous limit passes first. The
// limit only stops a hung test, it measures nothing.
inline bool waitFor(const std::function<bool()>& cond, int limitMs = 20'000) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

} // namespace fixtures
