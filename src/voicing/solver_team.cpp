// The solver's thread team: one job at a time, chunks claimed through an atomic counter.
#include "voicing/solver_team.h"

#include <algorithm>
#include <system_error>

#include "platform/processor_affinity.h"

namespace quillex {

std::size_t solverThreadCount(std::size_t requested) {
    if (requested > 0) return requested;
    // More threads than the process may run on only take turns on its cores.
    std::size_t cores = platform::allowedProcessorCount();
    if (cores == 0) cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores, 1, 4);
}

SolverTeam::SolverTeam(std::size_t threads) {
    for (std::size_t i = 1; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { workerLoop(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

SolverTeam::~SolverTeam() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void SolverTeam::drain() {
    while (true) {
        const std::size_t begin = next_.fetch_add(chunk_, std::memory_order_relaxed);
        if (begin >= count_) return;
        const std::size_t end = std::min(count_, begin + chunk_);
        try {
            function_(context_, begin, end);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!failure_) failure_ = std::current_exception();
        }
    }
}

void SolverTeam::workerLoop() {
    std::size_t seen = 0;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        drain();
        {
            std::lock_guard lock(mutex_);
            --busy_;
        }
        finished_.notify_one();
    }
}

void SolverTeam::run(std::size_t count, std::size_t chunk, ChunkFunction function, const void* context) {
    if (count == 0) return;
    chunk = std::max<std::size_t>(chunk, 1);
    if (workers_.empty()) {
        for (std::size_t begin = 0; begin < count; begin += chunk)
            function(context, begin, std::min(count, begin + chunk));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        function_ = function;
        context_ = context;
        count_ = count;
        chunk_ = chunk;
        next_.store(0, std::memory_order_relaxed);
        failure_ = nullptr;
        busy_ = workers_.size();
        ++generation_;
    }
    wake_.notify_all();
    drain();
    std::exception_ptr failure;
    {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return busy_ == 0; });
        failure = failure_;
        failure_ = nullptr;
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace quillex
