#pragma once
// The way out to the collaboration peers: one text a call. The window
// implements it over the host; tests record what goes out.

#include <string>

namespace v3d {

class PeerSender {
public:
    virtual ~PeerSender() = default;
    virtual void sendToPeers(const std::string& text) = 0;
    // The view's own sends (its input and commands) name the view's window.
    virtual void sendToPeersFromView(const std::string& text) { sendToPeers(text); }
};

}  // namespace v3d
