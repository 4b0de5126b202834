#include "MergedState.h"

#include <algorithm>

namespace quarvia {


MergedState::Take MergedState::take(std::string_view message) {
    if (message.substr(0, kMarker.size()) != kMarker) return Take::NotState;
    bool fitted = true;
    // Room in the index for every line the cap could hold, once.
    const std::size_t lines = std::size_t(std::count(message.begin(), message.end(), '\n'));
    m_index.reserve(std::min(m_index.size() + lines, m_maxBytes / 4));
    std::size_t at = kMarker.size();
    while (at < message.size()) {
        const std::size_t end = message.find('\n', at);
        if (end == std::string_view::npos) break;  // not ended by a line feed: not a line
        const std::string_view line = message.substr(at, end + 1 - at);
        at = end + 1;
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) continue;  // no keyword
        const std::string_view keyword = line.substr(0, blank + 1);
        const v3d::KeywordKind kind = v3d::kindOfKeyword(keyword);
        if (kind == v3d::KeywordKind::Event || kind == v3d::KeywordKind::Marker) continue;
        if (kind == v3d::KeywordKind::PlaneTable) dropCutPlaneLines();
        if (!keep(keyword, line)) fitted = false;
    }
    return fitted ? Take::Merged : Take::OverCap;
}

bool MergedState::keep(std::string_view keyword, std::string_view line) {
    const auto found = m_index.find(keyword);
    const std::size_t at = found == m_index.end() ? m_lines.size() : found->second;
    const std::size_t old = at < m_lines.size() ? m_lines[at].keywordLength + m_lines[at].line.size() : 0;
    const std::size_t now = keyword.size() + line.size();
    if (m_bytes - old + now > m_maxBytes) return false;  // the older line stays
    m_bytes = m_bytes - old + now;
    if (at < m_lines.size()) {
        // The index views the line's own bytes, which a longer line moves.
        m_index.erase(found);
        m_lines[at].line.assign(line);
        m_index.emplace(m_lines[at].keyword(), at);
        return true;
    }
    if (v3d::isCutPlaneKeyword(keyword)) m_cutPlaneLines.push_back(m_lines.size());
    m_lines.push_back({std::string(line), keyword.size()});
    m_index.emplace(m_lines.back().keyword(), m_lines.size() - 1);
    return true;
}

void MergedState::dropCutPlaneLines() {
    for (const std::size_t at : m_cutPlaneLines) {
        Line& l = m_lines[at];
        m_bytes -= l.keywordLength + l.line.size();
        m_index.erase(l.keyword());
        l.live = false;
        ++m_deadLines;
    }
    m_cutPlaneLines.clear();
    if (m_deadLines > m_lines.size() / 2) compact();
}

void MergedState::compact() {
    m_index.clear();
    std::deque<Line> live;
    for (Line& l : m_lines)
        if (l.live) live.push_back(std::move(l));
    m_lines = std::move(live);
    m_deadLines = 0;
    m_index.clear();
    m_cutPlaneLines.clear();
    for (std::size_t at = 0; at < m_lines.size(); ++at) {
        m_index.emplace(m_lines[at].keyword(), at);
        if (v3d::isCutPlaneKeyword(m_lines[at].keyword())) m_cutPlaneLines.push_back(at);
    }
}

std::string MergedState::text() const {
    std::string out(kMarker);
    for (const Line& l : m_lines)
        if (l.live) out += l.line;
    return out;
}

}  // namespace quarvia
