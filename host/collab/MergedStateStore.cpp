#include "MergedStateStore.h"

namespace quarvia {

MergedState::Take MergedStateStore::take(const std::string& pluginId, int cellIndex, std::string_view message) {
    if (message.substr(0, MergedState::kMarker.size()) != MergedState::kMarker) return MergedState::Take::NotState;
    if (pluginId.size() > kMaxPluginIdBytes) return MergedState::Take::OverCap;
    Key key(pluginId, cellIndex);
    auto it = m_streams.find(key);
    if (it == m_streams.end()) {
        if (m_streams.size() >= kMaxStreams) return MergedState::Take::OverCap;
        it = m_streams.emplace(std::move(key), MergedState(kMaxStreamBytes)).first;
    }
    return it->second.take(message);
}

}  // namespace quarvia
