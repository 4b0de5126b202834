#pragma once

#include "MergedState.h"
#include "QVHostApi.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace quarvia {

// The merged state of every data stream (a plug-in's window in a cell) the
// hub has relayed, in bounded memory: at most kMaxStreams streams of at most
// kMaxStreamBytes each. Messages of further streams are not kept.
class MergedStateStore {
public:
    static constexpr std::size_t kMaxStreams = 16;
    static constexpr std::size_t kMaxStreamBytes = QV_MAX_COLLABORATION_MESSAGE_BYTES;
    static constexpr std::size_t kMaxPluginIdBytes = 256;

    using Key = std::pair<std::string, int>;  // plug-in id, cell index

    MergedState::Take take(const std::string& pluginId, int cellIndex, std::string_view message);
    // Streams that hold state, with the text to send a joining peer.
    const std::map<Key, MergedState>& streams() const { return m_streams; }

private:
    std::map<Key, MergedState> m_streams;
};

}  // namespace quarvia
