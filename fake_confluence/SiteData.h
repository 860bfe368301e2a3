#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace folioport::fake {

/// A space as the fake site holds it.
struct FakeSpace {
    std::string id, key, name;  ///< the id is numeric text, as on the real site
    std::string type = "global";
    std::string status = "current";
    std::optional<std::string> homepageId;
};

/// A page as the fake site holds it; status is "current", "trashed" or "deleted".
struct FakePage {
    std::string id, spaceId, title;
    std::string body;  ///< storage format
    std::string status = "current";
    std::optional<std::string> parentId;
    std::string authorId, createdAt;
    std::int64_t version = 1;
    std::string versionMessage;
    std::string modifiedAt;  ///< the latest version's createdAt
};

/// The account behind the site's one accepted credential pair.
struct FakeUser {
    std::string accountId = "5b10ac8d82e05b22cc7d4ef5";
    std::string displayName = "Mia Krystof";
    std::string email = "mia@example.com";
    std::string publicName = "Mia";
};

/// Everything the fake site knows; tests and the seed file fill it.
struct SiteData {
    FakeUser user;
    std::vector<FakeUser> colleagues;  ///< other accounts the site can name (authors of versions), no login
    std::string email = "mia@example.com";  ///< the one e-mail the site accepts
    std::string token = "test-token";       ///< and its API token
    std::string scopedToken = "scoped-token";  ///< a token the site refuses and only its gateway accepts
    std::string cloudId = "0b3c5a2e-7d41-4f0e-9c6a-2f8e1d4b7a90";  ///< named at /_edge/tenant_info
    std::vector<FakeSpace> spaces;
    std::vector<FakePage> pages;

    /// A small site: two spaces and a handful of pages with bodies and versions.
    static SiteData minimal();
    /// Adds `spaces` made-up spaces (keys such as "DES42", names such as "Design 42") and `pages` made-up pages
    /// spread over every space, each edited a minute before the one added before it.
    void addGenerated(int spaces, int pages);
    /// Reads a seed document (format described in main.cpp); ids are made up where absent.
    static std::expected<SiteData, std::string> fromSeed(const nlohmann::json& seed);

    /// The next unused numeric id, above every id held.
    std::string nextId() const;
    const FakeSpace* spaceById(std::string_view id) const;
    FakePage* pageById(std::string_view id);
    /// The signed-in user or a colleague with this account id; null when there is none.
    const FakeUser* userById(std::string_view accountId) const;
};

}  // namespace folioport::fake
