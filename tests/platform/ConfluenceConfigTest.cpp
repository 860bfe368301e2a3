#include <gtest/gtest.h>

#include "confluence/ConfluenceConfig.h"

namespace folioport {
namespace {

struct AddressCase {
    std::string name;
    std::string baseURL;
    std::string normalized;
    std::string wiki;
};

std::ostream& operator<<(std::ostream& stream, const AddressCase& row) { return stream << row.name; }

class SiteAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SiteAddress, NormalisesAndBuildsTheWikiRoot) {
    const ConfluenceConfig config{.baseURL = GetParam().baseURL, .email = {}, .apiToken = {}};
    EXPECT_EQ(config.normalizedBaseURL(), GetParam().normalized);
    EXPECT_EQ(config.wikiURL(), GetParam().wiki);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SiteAddress,
    ::testing::Values(
        AddressCase{"BlanksAndWikiSuffix", " https://acme.example/wiki/ ", "https://acme.example", "https://acme.example/wiki"},
        AddressCase{"NoScheme", "acme.example", "https://acme.example", "https://acme.example/wiki"},
        AddressCase{"UpperCaseWikiAndSlashes", "https://acme.example/WIKI//", "https://acme.example", "https://acme.example/wiki"},
        AddressCase{"OnlyOneWikiIsRemoved", "https://acme.example/wiki/wiki", "https://acme.example/wiki",
                    "https://acme.example/wiki/wiki"},
        AddressCase{"PlainHttpKept", "http://intranet.example/", "http://intranet.example", "http://intranet.example/wiki"},
        AddressCase{"SchemeIsCaseSensitive", "HTTPS://acme.example", "https://HTTPS://acme.example",
                    "https://HTTPS://acme.example/wiki"},
        AddressCase{"LoneSlash", "/", "", ""},
        AddressCase{"OnlyBlanks", " \t\n ", "", ""},
        AddressCase{"EmptyBase", "", "", ""},
        AddressCase{"TrailingSlashBeforeWikiOnly", "acme.example/", "https://acme.example", "https://acme.example/wiki"},
        AddressCase{"UnicodeSpacesAndLineBreaks", "\xC2\xA0\xE3\x80\x80https://acme.example/wiki\xE2\x80\xA8\r\n",
                    "https://acme.example", "https://acme.example/wiki"},
        AddressCase{"InnerSpaceKept", "acme example", "https://acme example", "https://acme example/wiki"}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(ConfluenceConfig, CompletenessCountsLengthOnly) {
    EXPECT_TRUE((ConfluenceConfig{"acme.example", " ", "t"}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{" / ", "a@acme.example", "t"}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{"acme.example", "", "t"}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{"acme.example", "a@acme.example", ""}.isComplete()));
}

}  // namespace
}  // namespace folioport
