#include "engine/JobTeam.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace zel {

bool JobTeam::helperWanted() {
    const char* threads = std::getenv("ZEL_THREADS");
    if (threads != nullptr && std::string_view(threads) == "1") return false;
    return std::thread::hardware_concurrency() > 1;
}

JobTeam::JobTeam(bool helper) {
    if (helper) helper_ = std::thread([this] { helperLoop(); });
}

JobTeam::~JobTeam() {
    if (!helper_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    helper_.join();
}

void JobTeam::runJobs(size_t count, JobCall call, void* context) {
    if (count == 0) return;
    {
        std::lock_guard lock(mutex_);
        call_ = call;
        context_ = context;
        count_ = count;
        next_ = 1;
        failure_ = nullptr;
        open_ = true;
    }
    if (count > 1) wake_.notify_one();
    runJob(call, context, 0);
    takeJobs();
    std::exception_ptr failure;
    {
        std::unique_lock lock(mutex_);
        open_ = false;
        done_.wait(lock, [&] { return !helperBusy_; });
        failure = std::exchange(failure_, nullptr);
    }
    if (failure) std::rethrow_exception(failure);
}

void JobTeam::runJob(JobCall call, void* context, size_t index) noexcept {
    try {
        call(context, index);
    } catch (...) {
        std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
    }
}

void JobTeam::takeJobs() noexcept {
    while (true) {
        size_t index = 0;
        {
            std::lock_guard lock(mutex_);
            if (next_ >= count_) return;
            index = next_++;
        }
        runJob(call_, context_, index);
    }
}

namespace {
// Runs call(context); what it throws, or nullptr.
std::exception_ptr failureOf(void (*call)(void*), void* context) noexcept {
    try {
        call(context);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}
}  // namespace

// Without a helper nobody takes the job alongside while work() runs, so this thread runs it afterwards.
void JobTeam::runPair(TaskCall alongside, void* alongsideContext, TaskCall work, void* workContext) {
    {
        std::lock_guard lock(mutex_);
        alongside_ = alongside;
        alongsideContext_ = alongsideContext;
        alongsideFailure_ = nullptr;
        alongsidePending_ = true;
    }
    wake_.notify_one();
    const std::exception_ptr workFailure = failureOf(work, workContext);
    runAlongsideTask();  // unless the helper has taken it
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return !alongsidePending_ && !alongsideRunning_; });
    const std::exception_ptr failure = workFailure ? workFailure : std::exchange(alongsideFailure_, nullptr);
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
}

// Takes the job alongside if it is still waiting, and runs it.
void JobTeam::runAlongsideTask() noexcept {
    TaskCall call = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!alongsidePending_) return;
        alongsidePending_ = false;
        alongsideRunning_ = true;
        call = alongside_;
        context = alongsideContext_;
    }
    const std::exception_ptr failure = failureOf(call, context);
    {
        std::lock_guard lock(mutex_);
        alongsideRunning_ = false;
        alongsideFailure_ = failure;
    }
    done_.notify_one();
}

void JobTeam::helperLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        // A round that the calling thread has already finished is left alone.
        wake_.wait(lock, [&] { return stop_ || alongsidePending_ || (open_ && next_ < count_); });
        if (stop_) return;
        if (alongsidePending_) {
            lock.unlock();
            runAlongsideTask();
            lock.lock();
            continue;
        }
        helperBusy_ = true;
        lock.unlock();
        takeJobs();
        lock.lock();
        helperBusy_ = false;
        done_.notify_one();
    }
}

}  // namespace zel
