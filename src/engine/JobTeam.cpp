#include "engine/JobTeam.h"

#include <utility>

namespace zel {

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

void JobTeam::helperLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        // A round that the calling thread has already finished is left alone.
        wake_.wait(lock, [&] { return stop_ || (open_ && next_ < count_); });
        if (stop_) return;
        helperBusy_ = true;
        lock.unlock();
        takeJobs();
        lock.lock();
        helperBusy_ = false;
        done_.notify_one();
    }
}

}  // namespace zel
