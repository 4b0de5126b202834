// Fuzzes the hub's merged state with what authenticated peers may send:
// the input is cut into messages at every byte 0x1E, each given to the
// merge with and without the state marker in front. The merged text must
// stay under the cap, begin with the marker, hold whole lines only, one
// line per keyword, and never a capture or put-under line.
#include "collab/MergedState.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

void fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define check(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

constexpr std::size_t kCap = 2048;

void checkState(const quarvia::MergedState& state) {
    const std::string text = state.text();
    const std::string_view marker = quarvia::MergedState::kMarker;
    check(state.bytes() <= kCap);
    check(text.compare(0, marker.size(), marker) == 0);
    check(text.back() == '\n');
    std::set<std::string> keywords;
    std::size_t at = marker.size();
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        check(end != std::string::npos);
        const std::string line = text.substr(at, end - at);
        const std::size_t blank = line.find(' ');
        check(blank != std::string::npos);
        const std::string keyword = line.substr(0, blank + 1);
        check(keyword != "J_capture " && keyword != "J_putunder " && keyword != "J_justspec ");
        check(keywords.insert(keyword).second);
        at = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quarvia::MergedState state(kCap);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    while (at <= input.size()) {
        std::size_t end = input.find('\x1e', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view message = input.substr(at, end - at);
        state.take(message);
        state.take(std::string(quarvia::MergedState::kMarker) + std::string(message));
        checkState(state);
        at = end + 1;
    }
    return 0;
}
