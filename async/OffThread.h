#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

namespace folioport {

/// Runs `work` (a blocking call) on `pool` and hands its result to `done` on `context`'s thread,
/// through that thread's event loop. The owner of `context` must wait for `pool` (waitForDone) before
/// the context dies, so no worker posts to a destroyed object; results still queued then are dropped
/// with the object.
template <class Work, class Done>
void runOffThread(QThreadPool& pool, QObject* context, Work work, Done done) {
    pool.start([context, work = std::move(work), done = std::move(done)]() mutable {
        using Result = std::invoke_result_t<Work&>;
        // why: a shared_ptr keeps the posted functor copyable whatever the result type is.
        auto result = std::make_shared<Result>(work());
        QMetaObject::invokeMethod(
            context, [done = std::move(done), result]() mutable { done(std::move(*result)); }, Qt::QueuedConnection);
    });
}

}  // namespace folioport
