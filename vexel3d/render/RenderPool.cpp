#include "render/RenderPool.h"

#include <algorithm>
#include <atomic>
#include <system_error>

namespace v3d {

namespace {
// More threads than this would only wait on the memory bus.
constexpr int kMaxThreads = 64;
}  // namespace

struct RenderPool::Pass {
    const std::function<void(int)>* work = nullptr;
    int count = 0;
    std::atomic<int> next{0};
    // Guarded by the pool's mutex.
    int completed = 0;
    int helpersInside = 0;
};

RenderPool::RenderPool(int threads) {
    threads = std::clamp(threads, 1, kMaxThreads);
    try {
        for (int i = 1; i < threads; ++i) helpers_.emplace_back([this] { helperLoop(); });
    } catch (const std::system_error&) {
        // Fewer helpers than asked for: the callers do the rest themselves.
    }
}

RenderPool::~RenderPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

int RenderPool::machineThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : std::min(static_cast<int>(n), kMaxThreads);
}

RenderPool& RenderPool::shared() {
    static RenderPool pool(machineThreads());
    return pool;
}

int RenderPool::runTiles(Pass& pass) {
    int ran = 0;
    for (int tile = pass.next.fetch_add(1); tile < pass.count; tile = pass.next.fetch_add(1)) {
        (*pass.work)(tile);
        ++ran;
    }
    return ran;
}

void RenderPool::helperLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (ending_) return;
        Pass* pass = queue_.front();
        ++pass->helpersInside;
        lock.unlock();
        const int ran = runTiles(*pass);
        lock.lock();
        pass->completed += ran;
        --pass->helpersInside;
        // Every tile is handed out: nobody else needs to find this pass.
        auto it = std::find(queue_.begin(), queue_.end(), pass);
        if (it != queue_.end()) queue_.erase(it);
        finished_.notify_all();
    }
}

void RenderPool::run(int count, const std::function<void(int)>& work) {
    if (count <= 0) return;
    if (helpers_.empty() || count == 1) {
        for (int tile = 0; tile < count; ++tile) work(tile);
        return;
    }
    Pass pass;
    pass.work = &work;
    pass.count = count;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(&pass);
    }
    wake_.notify_all();
    const int ran = runTiles(pass);
    std::unique_lock<std::mutex> lock(mutex_);
    pass.completed += ran;
    // No helper may pick the pass up once it is off the queue; those inside
    // finish their tiles before it goes out of scope.
    auto it = std::find(queue_.begin(), queue_.end(), &pass);
    if (it != queue_.end()) queue_.erase(it);
    finished_.wait(lock, [&pass] { return pass.completed == pass.count && pass.helpersInside == 0; });
}

}  // namespace v3d
