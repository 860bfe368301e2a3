#pragma once

#include <compare>
#include <string_view>

namespace folioport {

/// Orders two version strings: runs of ASCII digits compare as whole numbers of any length ("1.10" after
/// "1.9", "007" equal to "7"), every other byte by its value; a string that is a prefix of the other comes
/// first. No trimming and no other normalisation.
std::weak_ordering compareVersions(std::string_view left, std::string_view right);

}  // namespace folioport
