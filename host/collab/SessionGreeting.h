#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarvia {

// What the hub shows in its 3D windows, sent to a peer as it joins, so that
// a host without those images can tell its user which study and series to
// open. It travels as the data of a stream of the host's own
// (kGreetingStream), never through a plug-in. Plain C++.
struct ShownSeries {
    std::string seriesUid;
    std::string patient;
    std::string study;
    std::string date;  // YYYYMMDD as stored
    std::string number;
    std::string description;
    std::string modality;
};

constexpr char kGreetingStream[] = "quarvia.shows";

// "quarvia-shows 1\n", then a line of seven tab-separated fields a series.
std::string encodeGreeting(const std::vector<ShownSeries>& shown);

// Untrusted bytes: at most kMaxShown series of fields up to kMaxField
// printable bytes; false (and nothing) for anything else.
constexpr size_t kMaxShown = 16;
constexpr size_t kMaxField = 128;
bool decodeGreeting(std::string_view bytes, std::vector<ShownSeries>& shown);

}  // namespace quarvia
