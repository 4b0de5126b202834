#include "wire/StateKeywords.h"

#include <algorithm>

namespace v3d {

namespace {
constexpr std::string_view kPlaneHead = "cutpln", kPlaneTail = "data ";
}  // namespace

std::string cutPlaneKeyword(int index) {
    return std::string(kPlaneHead) + std::to_string(index) + std::string(kPlaneTail);
}

bool isCutPlaneKeyword(std::string_view keyword) {
    if (keyword.size() <= kPlaneHead.size() + kPlaneTail.size() || keyword.substr(0, kPlaneHead.size()) != kPlaneHead ||
        keyword.substr(keyword.size() - kPlaneTail.size()) != kPlaneTail)
        return false;
    const std::string_view digits =
        keyword.substr(kPlaneHead.size(), keyword.size() - kPlaneHead.size() - kPlaneTail.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

KeywordKind kindOfKeyword(std::string_view keyword) {
    for (const StateKeyword& known : kStateKeywords)
        if (known.keyword == keyword) return known.kind;
    return KeywordKind::State;
}

}  // namespace v3d
