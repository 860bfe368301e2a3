#include "updater/VersionOrder.h"

namespace folioport {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// The run of digits starting at `at`, without its leading zeros; moves `at` past the run.
std::string_view takeNumber(std::string_view text, std::size_t& at) {
    std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    std::string_view run = text.substr(start, at - start);
    return run.substr(std::min(run.find_first_not_of('0'), run.size()));
}

}  // namespace

std::weak_ordering compareVersions(std::string_view left, std::string_view right) {
    std::size_t i = 0, j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            std::string_view a = takeNumber(left, i), b = takeNumber(right, j);
            // why: never parsed into an integer, so a run of any length compares correctly.
            if (auto order = a.size() <=> b.size(); order != 0) return order;
            if (auto order = a.compare(b) <=> 0; order != 0) return order;
        } else {
            auto a = static_cast<unsigned char>(left[i++]), b = static_cast<unsigned char>(right[j++]);
            if (a != b) return a <=> b;
        }
    }
    return (left.size() - i) <=> (right.size() - j);
}

}  // namespace folioport
