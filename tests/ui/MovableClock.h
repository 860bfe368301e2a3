#pragma once

#include <QPointer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "ui/Clock.h"

namespace folioport::testing {

/// A UI clock that stands still until the test moves it; installed for its lifetime.
class MovableClock final : public ui::Clock {
public:
    explicit MovableClock(std::chrono::system_clock::time_point start) : now_(start) { install(this); }
    ~MovableClock() override { install(nullptr); }

    std::chrono::system_clock::time_point now() const override { return now_; }
    void after(std::chrono::milliseconds wait, QObject* context, std::function<void()> done) override {
        waits_.push_back({now_ + wait, context, std::move(done)});
    }

    /// Moves the time on by `step`, running the waits that fall due meanwhile in the order they end.
    void advance(std::chrono::milliseconds step) {
        const auto until = now_ + step;
        for (;;) {
            const auto due = std::ranges::min_element(waits_, {}, &Wait::at);
            if (due == waits_.end() || due->at > until) break;
            Wait wait = std::move(*due);
            waits_.erase(due);
            now_ = wait.at;
            if (wait.context) wait.done();
        }
        now_ = until;
    }

private:
    struct Wait {
        std::chrono::system_clock::time_point at;
        QPointer<QObject> context;
        std::function<void()> done;
    };
    std::chrono::system_clock::time_point now_;
    std::vector<Wait> waits_;
};

}  // namespace folioport::testing
