#include "platform/desktop/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

namespace trellick::desktop {
namespace {

using Steady = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so work never runs early.
int millisecondsUntil(Steady::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

QtMainQueue::QtMainQueue() : context_(std::make_unique<QObject>()) {
    if (auto app = QCoreApplication::instance()) context_->moveToThread(app->thread());
}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(double seconds, std::function<void()> fn) {
    // The delay counts from this call, not from when the main thread gets to it.
    double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.0, INT_MAX / 1000.0) : 0.0;
    auto deadline =
        Steady::now() + std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(clamped));
    QObject* context = context_.get();
    auto start = [context, deadline, fn = std::move(fn)]() mutable {
        QTimer::singleShot(millisecondsUntil(deadline), Qt::PreciseTimer, context, std::move(fn));
    };
    if (QThread::currentThread() == context->thread()) {
        start();
    } else {
        QMetaObject::invokeMethod(context, std::move(start), Qt::QueuedConnection);
    }
}

double SteadyClock::now() const {
    return std::chrono::duration<double>(Steady::now().time_since_epoch()).count();
}

}  // namespace trellick::desktop
