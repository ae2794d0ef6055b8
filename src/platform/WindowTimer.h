#pragma once

#include <QObject>
#include <functional>

class QTimer;

// A window's timer as the program asks for it: an identifier and a period in
// milliseconds. Periods below kFloorMs are raised to it, the shortest period a
// window timer delivers on the system the program was designed for, so a tick
// count keeps the same length of time on every platform. Ticks come from a
// precise timer, which schedules each one from the previous due time instead of
// from the moment the handler finished, so the pace does not drift.
class WindowTimer : public QObject {
public:
    static constexpr int kFloorMs = 10;

    // `onTick` receives the identifier of the timer that fired.
    WindowTimer(QObject* owner, std::function<void(int)> onTick);

    // Starts (or restarts) timer `id`. One timer per owner, as the windows need.
    void start(int id, int requestedMs);
    void stop();
    bool active() const;
    // The period the timer really runs at.
    int periodMs() const;

    static int effectivePeriod(int requestedMs) {
        return requestedMs < kFloorMs ? kFloorMs : requestedMs;
    }

private:
    QTimer* timer_;
    std::function<void(int)> onTick_;
    int id_ = 0;
};
