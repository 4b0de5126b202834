#pragma once
// A fixed set of helper threads that run the tiles of a render pass together
// with the thread that asks for the pass. Tiles are handed out in index
// order; each tile runs exactly once. Several threads may run passes on one
// pool at the same time: every caller works on its own pass as well, so a
// pass always makes progress while the helpers are busy with another.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace v3d {

class RenderPool {
public:
    // threads counts the caller: 1 runs every tile on the calling thread.
    explicit RenderPool(int threads);
    ~RenderPool();
    RenderPool(const RenderPool&) = delete;
    RenderPool& operator=(const RenderPool&) = delete;

    int threads() const { return static_cast<int>(helpers_.size()) + 1; }

    // Calls work(tile) once for every tile in [0, count); returns when all
    // calls have returned.
    void run(int count, const std::function<void(int tile)>& work);

    // One pool for the process, sized to the machine's cores.
    static RenderPool& shared();
    static int machineThreads();

private:
    struct Pass;
    void helperLoop();
    // Runs tiles of the pass until none is left; answers how many it ran.
    static int runTiles(Pass& pass);

    std::mutex mutex_;
    std::condition_variable wake_;      // a pass was queued, or the pool ends
    std::condition_variable finished_;  // a helper left a pass
    std::deque<Pass*> queue_;
    bool ending_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace v3d
