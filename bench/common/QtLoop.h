#pragma once
// The event-loop helpers of the Qt benchmarks on a rig: run the loop until a condition holds,
// waking often so that the times taken are not the loop's own, and print medians.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace trellick::bench {

// Runs the event loop until `done` or `timeout` seconds; false on the timeout.
inline bool pumpUntil(const std::function<bool()>& done, double timeout = 5.0) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    return true;
}

inline void settle(double seconds) {
    QElapsedTimer t;
    t.start();
    pumpUntil([&] { return t.elapsed() > seconds * 1000; }, seconds + 1);
}

// Samples in milliseconds, printed as their median and slowest.
struct Stats {
    std::vector<double> v;
    void print(const char* what) {
        std::sort(v.begin(), v.end());
        if (v.empty()) {
            std::printf("%-36s no samples\n", what);
            return;
        }
        std::printf("%-36s median %6.2f ms   slowest %6.2f ms   (%zu runs)\n", what, v[v.size() / 2], v.back(),
                    v.size());
    }
};

}  // namespace trellick::bench
