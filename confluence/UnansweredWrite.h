#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <stop_token>
#include <string_view>

#include "confluence/ConfluenceClient.h"

namespace folioport {

/// True when a write that failed this way may still have been done by the site: the request went out, or may
/// have, and no answer came back (a time-out, a connection lost mid-answer). Writing again then risks doing it twice.
bool mayHaveReachedSite(const ConfluenceError& error);

/// What an earlier create that went unanswered made: the current page titled `title` in the space whose author
/// is the signed-in account; absent when there is none.
std::expected<std::optional<Page>, ConfluenceError> earlierCreate(const ConfluenceClient& client,
                                                                  std::string_view spaceId, std::string_view title,
                                                                  std::stop_token stop = {});

/// What an earlier save of a new version after `baseVersion` that went unanswered stored: the page as it is now,
/// with its body, when its version is newer than `baseVersion` and its title and storage body are the ones sent;
/// absent otherwise.
std::expected<std::optional<Page>, ConfluenceError> earlierSave(const ConfluenceClient& client, std::string_view pageId,
                                                                std::int64_t baseVersion, std::string_view title,
                                                                std::string_view storageBody,
                                                                std::stop_token stop = {});

}  // namespace folioport
