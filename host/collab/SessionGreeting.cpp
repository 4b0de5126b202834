#include "SessionGreeting.h"

#include <algorithm>
#include <array>

namespace quarvia {

namespace {

constexpr std::string_view kHead = "quarvia-shows 1\n";
constexpr size_t kFields = 7;

std::array<std::string ShownSeries::*, kFields> fields() {
    return {&ShownSeries::seriesUid, &ShownSeries::patient, &ShownSeries::study,      &ShownSeries::date,
            &ShownSeries::number,    &ShownSeries::description, &ShownSeries::modality};
}

// Tabs, line ends and other control bytes cannot be in a field; they are
// dropped rather than let one field become two. Too long is cut.
std::string clean(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
    return out.substr(0, kMaxField);
}

}  // namespace

std::string encodeGreeting(const std::vector<ShownSeries>& shown) {
    std::string text(kHead);
    for (size_t i = 0; i < shown.size() && i < kMaxShown; ++i) {
        size_t n = 0;
        for (const auto field : fields()) text += (n++ ? "\t" : "") + clean(shown[i].*field);
        text += '\n';
    }
    return text;
}

bool decodeGreeting(std::string_view bytes, std::vector<ShownSeries>& shown) {
    shown.clear();
    if (bytes.substr(0, kHead.size()) != kHead) return false;
    std::vector<ShownSeries> read;
    size_t at = kHead.size();
    while (at < bytes.size()) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos || read.size() == kMaxShown) return false;
        const std::string_view line = bytes.substr(at, end - at);
        at = end + 1;
        ShownSeries series;
        size_t start = 0, n = 0;
        for (const auto field : fields()) {
            const size_t tab = n + 1 < kFields ? line.find('\t', start) : line.size();
            if (tab == std::string_view::npos) return false;
            const std::string_view value = line.substr(start, tab - start);
            if (value.size() > kMaxField || std::any_of(value.begin(), value.end(), [](char c) {
                    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
                }))
                return false;
            series.*field = std::string(value);
            start = tab + 1;
            ++n;
        }
        read.push_back(std::move(series));
    }
    shown = std::move(read);
    return true;
}

}  // namespace quarvia
