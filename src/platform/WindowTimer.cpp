#include "platform/WindowTimer.h"

#include <QTimer>

WindowTimer::WindowTimer(QObject* owner, std::function<void(int)> onTick)
    : QObject(owner), timer_(new QTimer(this)), onTick_(std::move(onTick)) {
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { onTick_(id_); });
}

void WindowTimer::start(int id, int requestedMs) {
    id_ = id;
    timer_->start(effectivePeriod(requestedMs));
}

void WindowTimer::stop() {
    timer_->stop();
}

bool WindowTimer::active() const {
    return timer_->isActive();
}

int WindowTimer::periodMs() const {
    return timer_->interval();
}
