#include <gtest/gtest.h>

#include "confluence/ConfluenceError.h"

namespace folioport {
namespace {

TEST(ConfluenceErrorTest, EveryCaseHasItsSentence) {
    const std::pair<ConfluenceError, std::string> rows[] = {
        {ConfluenceError::http(401, "ignored"),
         "Confluence returned HTTP 401. Authentication failed — check your email and API token."},
        {ConfluenceError::http(403, ""),
         "Confluence returned HTTP 403. Access denied — your account may lack permission on this space or page."},
        {ConfluenceError::http(404, ""), "Confluence returned HTTP 404. Not found — check the site URL, space key or page id."},
        {ConfluenceError::http(409, ""),
         "Confluence returned HTTP 409. Version conflict — the page changed since it was loaded. Reload it and try again."},
        {ConfluenceError::http(502, "Bad gateway"), "Confluence returned HTTP 502. Bad gateway"},
        {ConfluenceError::http(500, ""), "Confluence returned HTTP 500. "},
        {ConfluenceError::network("Timeout was reached"), "Network error: Timeout was reached"},
        {ConfluenceError::decoding("results[0].id: missing"), "Could not read Confluence's response: results[0].id: missing"},
        {ConfluenceError::notFound("No space with key 'X'."), "No space with key 'X'."},
        {ConfluenceError::notConfigured(),
         "Confluence is not configured. Open Settings and enter your site, email and API token."},
        {ConfluenceError::badURL(), "The Confluence base URL looks invalid."},
    };
    for (const auto& [error, sentence] : rows) EXPECT_EQ(describe(error), sentence);
}

TEST(ConfluenceErrorTest, LongBodiesAreCutAtThreeHundredWholeCharacters) {
    const std::string prefix = "Confluence returned HTTP 500. ";
    const std::string threeByte = "€", fourByte = "𝄞";
    struct Row {
        const char* name;
        std::string body;
        std::string kept;
    };
    const Row rows[] = {
        {"exactly 300", std::string(300, 'a'), std::string(300, 'a')},
        {"301 ASCII", std::string(301, 'a'), std::string(300, 'a')},
        {"two-byte character straddling the byte limit", std::string(299, 'a') + "é" + "tail",
         std::string(299, 'a') + "é"},
        {"only multi-byte characters", [&] {
             std::string s;
             for (int i = 0; i < 400; ++i) s += i % 2 ? threeByte : fourByte;
             return s;
         }(),
         [&] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += i % 2 ? threeByte : fourByte;
             return s;
         }()},
    };
    for (const auto& row : rows) EXPECT_EQ(describe(ConfluenceError::http(500, row.body)), prefix + row.kept) << row.name;
}

}  // namespace
}  // namespace folioport
