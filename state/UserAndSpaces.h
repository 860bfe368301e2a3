#pragma once

#include <QThreadPool>

#include <expected>
#include <stop_token>
#include <vector>

#include "confluence/ConfluenceClient.h"

namespace folioport {

/// The first two answers of a load.
struct UserAndSpaces {
    ConfluenceUser user;
    std::vector<Space> spaces;
};

/// Blocking: asks for the signed-in user on this thread and, at the same time, for every space the client's
/// paging reaches on `pool`. Returns only once both requests have ended; when the user request fails, the spaces
/// request is stopped, awaited and ignored, and the user's error is returned.
std::expected<UserAndSpaces, ConfluenceError> fetchUserAndSpaces(QThreadPool& pool, const ConfluenceClient& client,
                                                                std::stop_token stop);

}  // namespace folioport
