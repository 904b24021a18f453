// A small team of threads that share out the chunks of an index range, for the solver's large steps.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quillex {

// Threads to use for a solve: `requested` when it is not 0, else the
// processors the process may run on (its affinity), at most 4 and at least 1.
std::size_t solverThreadCount(std::size_t requested);

class SolverTeam {
public:
    // `threads` counts the calling thread: 1 starts no thread. Threads that
    // cannot be started are done without.
    explicit SolverTeam(std::size_t threads);
    ~SolverTeam();
    SolverTeam(const SolverTeam&) = delete;
    SolverTeam& operator=(const SolverTeam&) = delete;

    std::size_t size() const { return workers_.size() + 1; }

    // Runs work(begin, end) over [0, count) in chunks of `chunk` indices, on
    // the calling thread and the team, and returns when every chunk is done.
    // Which thread runs a chunk varies; what a chunk computes must not. The
    // first exception thrown by any chunk is rethrown here.
    template <typename Work>
    void forEachChunk(std::size_t count, std::size_t chunk, const Work& work) {
        run(
            count, chunk,
            [](const void* context, std::size_t begin, std::size_t end) {
                (*static_cast<const Work*>(context))(begin, end);
            },
            &work);
    }

private:
    using ChunkFunction = void (*)(const void*, std::size_t, std::size_t);

    void run(std::size_t count, std::size_t chunk, ChunkFunction function, const void* context);
    void workerLoop();
    void drain();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::size_t generation_ = 0;
    std::size_t busy_ = 0;
    bool stopping_ = false;
    // The job of the current generation.
    ChunkFunction function_ = nullptr;
    const void* context_ = nullptr;
    std::size_t count_ = 0;
    std::size_t chunk_ = 1;
    std::atomic<std::size_t> next_{0};
    std::exception_ptr failure_;
};

}  // namespace quillex
