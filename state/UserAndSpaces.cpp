#include "state/UserAndSpaces.h"

#include <QtConcurrent/QtConcurrentRun>

namespace folioport {

std::expected<UserAndSpaces, ConfluenceError> fetchUserAndSpaces(QThreadPool& pool, const ConfluenceClient& client,
                                                                std::stop_token stop) {
    // why: the spaces request gets a stop of its own, for a failed user request, that still follows `stop`.
    std::stop_source spacesStop;
    std::stop_callback followStop(stop, [&spacesStop] { spacesStop.request_stop(); });
    QFuture<std::expected<std::vector<Space>, ConfluenceError>> spaces =
        QtConcurrent::run(&pool, [client, token = spacesStop.get_token()] {
            return client.allSpaces(token);
        });
    auto user = client.currentUser(stop);
    // why: waiting for a task that has not started yet runs it on this thread, so a full pool cannot deadlock.
    if (!user) {
        spacesStop.request_stop();
        spaces.waitForFinished();
        return std::unexpected(user.error());
    }
    auto listed = spaces.takeResult();
    if (!listed) return std::unexpected(listed.error());
    return UserAndSpaces{std::move(*user), std::move(*listed)};
}

}  // namespace folioport
