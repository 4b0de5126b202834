#pragma once
// The way out to the collaboration peers: one text a call. The window
// implements it over the host; tests record what goes out.

#include <string>

namespace v3d {

class PeerSender {
public:
    virtual ~PeerSender() = default;
    virtual void sendToPeers(const std::string& text) = 0;
};

}  // namespace v3d
