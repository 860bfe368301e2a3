#pragma once

#include <QObject>

#include <chrono>
#include <functional>

namespace folioport::ui {

/// The time the desktop shows and waits by: relative days ("today", "yesterday") read now(), and the short
/// waits ("Copied", an editor's hint, a tray host that is away) run through after(). The application runs
/// on the wall clock and Qt's timers; a test installs a clock it moves by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point now() const = 0;
    /// Calls `done` on `context`'s thread once `wait` has passed, unless `context` is gone by then.
    virtual void after(std::chrono::milliseconds wait, QObject* context, std::function<void()> done) = 0;

    /// The clock in use: the wall clock unless another is installed.
    static Clock& current();
    /// Makes `clock` the one in use; nullptr goes back to the wall clock.
    static void install(Clock* clock);
};

}  // namespace folioport::ui
