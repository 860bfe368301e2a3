#include "ui/Clock.h"

#include <QTimer>

namespace folioport::ui {

namespace {

class WallClock final : public Clock {
public:
    std::chrono::system_clock::time_point now() const override { return std::chrono::system_clock::now(); }
    void after(std::chrono::milliseconds wait, QObject* context, std::function<void()> done) override {
        QTimer::singleShot(wait, context, std::move(done));
    }
};

WallClock wallClock;
Clock* installed = nullptr;

}  // namespace

Clock& Clock::current() { return installed ? *installed : wallClock; }

void Clock::install(Clock* clock) { installed = clock; }

}  // namespace folioport::ui
