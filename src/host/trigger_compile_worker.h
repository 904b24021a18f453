// The process-wide trigger-compile worker thread, its job list and the per-object mailbox it hands results to.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/vessa/vessa.h"

namespace quillex {

template <class Table>
struct TriggerCompileResultOf {
    std::unique_ptr<Table> table;
    std::string error;
};

// The hand-over point between the worker and one object's main thread.
template <class Table>
struct TriggerCompileMailboxOf {
    std::mutex mutex;
    std::unique_ptr<Table> pendingTable;
    std::string pendingError;
    bool hasResult = false;
    std::function<void()> deliver;  // only arms the object's delivery queue
};

// Work in flight for the host's scheduler: held by a job from its post until
// its result is handed over or it is dropped, so that the host applies the
// hand-over's arm at a point that does not depend on thread timing.
class BackgroundToken {
public:
    BackgroundToken() = default;  // holds nothing
    static BackgroundToken acquire() {
        vessa_background_acquire();
        BackgroundToken token;
        token.held_ = true;
        return token;
    }
    BackgroundToken(BackgroundToken&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    BackgroundToken& operator=(BackgroundToken&& other) noexcept {
        if (this != &other) {
            reset();
            held_ = std::exchange(other.held_, false);
        }
        return *this;
    }
    BackgroundToken(const BackgroundToken&) = delete;
    BackgroundToken& operator=(const BackgroundToken&) = delete;
    ~BackgroundToken() { reset(); }

    void reset() {
        if (std::exchange(held_, false)) vessa_background_release();
    }

private:
    bool held_ = false;
};

// One worker per process for each kind of compile. `Policy` supplies the
// table and revision types and three operations:
//   build(revision, generation) -> TriggerCompileResultOf<Table>, may throw;
//   emptyTable(generation) -> std::unique_ptr<Table>;
//   dropRhythm(Table&): the rows then play as plain chords.
template <class Policy>
class TriggerCompileWorkerOf {
public:
    using Table = typename Policy::Table;
    using Revision = typename Policy::Revision;
    using Result = TriggerCompileResultOf<Table>;
    using Mailbox = TriggerCompileMailboxOf<Table>;

    struct Job {
        std::weak_ptr<Mailbox> mailbox;
        const void* ownerKey = nullptr;
        std::shared_ptr<const Revision> revision;
        bool useRhythm = true;
        std::uint64_t generation = 0;
        BackgroundToken token;
    };

    // Starts the thread on first use (again after the last holder left); a
    // thread that cannot start raises std::system_error.
    static TriggerCompileWorkerOf& instance() {
        Lifetime& l = lifetime();
        std::lock_guard lock(l.mutex);
        if (!l.worker) l.worker.reset(new TriggerCompileWorkerOf());
        return *l.worker;
    }

    // Each object holds the worker while it lives; the last release stops and
    // joins the thread here, in ordinary code: a join left to a loadable
    // library's static destructor can wait forever on Windows' loader lock.
    static void retain() {
        Lifetime& l = lifetime();
        std::lock_guard lock(l.mutex);
        ++l.holders;
    }

    static void release() {
        std::unique_ptr<TriggerCompileWorkerOf> stopping;
        {
            Lifetime& l = lifetime();
            std::lock_guard lock(l.mutex);
            if (l.holders > 0 && --l.holders == 0) stopping = std::move(l.worker);
        }
        // Destroyed outside the lock: a job in progress finishes first.
    }

    ~TriggerCompileWorkerOf() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            jobs_.clear();
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    // A queued job of the same owner is replaced in its place; else appended.
    void post(const std::shared_ptr<Mailbox>& mailbox, std::shared_ptr<const Revision> revision, bool useRhythm,
              std::uint64_t generation) {
        Job job{mailbox, mailbox.get(), std::move(revision), useRhythm, generation, BackgroundToken::acquire()};
        {
            std::lock_guard lock(mutex_);
            bool replaced = false;
            for (Job& queued : jobs_) {
                if (queued.ownerKey == job.ownerKey) {
                    queued = std::move(job);
                    replaced = true;
                    break;
                }
            }
            if (!replaced) jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

    // Drops the owner's queued jobs; a job already taken runs on.
    void cancelJobsFor(const void* ownerKey) {
        std::vector<Job> dropped;
        {
            std::lock_guard lock(mutex_);
            for (auto it = jobs_.begin(); it != jobs_.end();) {
                if (it->ownerKey == ownerKey) {
                    dropped.push_back(std::move(*it));
                    it = jobs_.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

private:
    struct Lifetime {
        std::mutex mutex;
        std::unique_ptr<TriggerCompileWorkerOf> worker;
        int holders = 0;
    };

    static Lifetime& lifetime() {
        static Lifetime instance;
        return instance;
    }

    TriggerCompileWorkerOf() : thread_([this] { run(); }) {}

    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
                if (stop_) return;
                job = std::move(jobs_.front());
                jobs_.erase(jobs_.begin());
            }
            Result result = compile(job);
            if (std::shared_ptr<Mailbox> mailbox = job.mailbox.lock()) {
                std::lock_guard lock(mailbox->mutex);
                if (mailbox->deliver) {
                    mailbox->pendingTable = std::move(result.table);
                    mailbox->pendingError = std::move(result.error);
                    mailbox->hasResult = true;
                    mailbox->deliver();
                }
            }
            // The job (and its token) ends here, after the hand-over.
        }
    }

    static Result compile(const Job& job) {
        Result result;
        try {
            result = Policy::build(job.revision, job.generation);
        } catch (const std::exception& e) {
            result = Result{nullptr, e.what()};
        } catch (...) {
            result = Result{nullptr, "Trigger program compilation failed"};
        }
        try {
            if (!result.table && !result.error.empty()) result.table = Policy::emptyTable(job.generation);
            if (!job.useRhythm && result.table) Policy::dropRhythm(*result.table);
        } catch (...) {
            // An empty table that cannot be made is reported as no program.
            result.table.reset();
        }
        return result;
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Job> jobs_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace quillex
