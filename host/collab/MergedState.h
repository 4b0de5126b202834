#pragma once

#include "wire/StateKeywords.h"

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quarvia {

// The latest view state of one data stream, merged from the state messages
// relayed through the hub, so that a peer that joins late can be sent the
// whole state at once. A state message is "J_justspec dummy\n" followed by
// lines "KEYWORD payload\n" (the keyword ends at its first blank). The
// latest line of each keyword is kept, in the order keywords were first
// seen; a new cut-plane table replaces the whole cut-plane group; events
// (captures, put-under requests) are never kept. Which keyword is which the
// plug-in's keyword table says: the hub cannot tell state from events by
// itself (messages carry no flags), and one table keeps the two programs
// from drifting apart. Plain C++: no sockets, no Qt.
class MergedState {
public:
    enum class Take {
        Merged,       // the message's lines are in
        NotState,     // not a state message: nothing kept
        OverCap,      // some lines did not fit the cap and were left out
    };

    static constexpr std::string_view kMarker = v3d::kStateMarkerLine;

    explicit MergedState(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

    Take take(std::string_view message);
    // The marker line and every kept line; just the marker when nothing is kept.
    std::string text() const;
    bool empty() const { return m_index.empty(); }
    // Bytes of the kept lines (their keywords counted once more).
    std::size_t bytes() const { return m_bytes; }

private:
    struct Line {
        std::string line;           // the whole line with its line feed
        std::size_t keywordLength;  // the keyword (with its blank) is the line's start
        bool live = true;           // false once replaced by a new cut-plane group
        std::string_view keyword() const { return std::string_view(line).substr(0, keywordLength); }
    };
    bool keep(std::string_view keyword, std::string_view line);
    void dropCutPlaneLines();
    void compact();

    // Lines in the order their keywords were first seen; a keyword is found
    // through the index, so a text of N keywords costs N lookups, not N^2/2
    // comparisons, and dropped lines are swept only when they are many.
    // A deque: lines never move, so the index can hold views of their keywords.
    std::deque<Line> m_lines;
    std::unordered_map<std::string_view, std::size_t> m_index;
    std::vector<std::size_t> m_cutPlaneLines;
    std::size_t m_deadLines = 0;
    std::size_t m_bytes = 0;
    std::size_t m_maxBytes;
};

}  // namespace quarvia
