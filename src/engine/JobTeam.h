#pragma once
// Runs the independent jobs of one batch step on the calling thread and one helper thread: filling each histogram
// and map set, and writing the extended lists, read the batch and change only their own state. The call returns
// when every job is done, so the batch is free again for the next read.
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>

namespace zel {

class JobTeam {
public:
    // With `helper` false (one core) every job runs on the calling thread.
    explicit JobTeam(bool helper);
    ~JobTeam();
    JobTeam(const JobTeam&) = delete;
    JobTeam& operator=(const JobTeam&) = delete;

    // Runs job(0) ... job(count - 1), each once. Job 0 runs on the calling thread and first, so that a job that
    // prints can be put there; the others go to whichever thread is free. An exception of a job is raised here
    // once all jobs have ended.
    template <class Job>
    void run(size_t count, Job& job) {
        runJobs(count, [](void* context, size_t index) { (*static_cast<Job*>(context))(index); }, &job);
    }

    // True when a helper thread takes part.
    bool hasHelper() const { return helper_.joinable(); }

private:
    using JobCall = void (*)(void*, size_t);
    void runJobs(size_t count, JobCall call, void* context);
    // Runs the round's jobs not yet taken, until none is left.
    void takeJobs() noexcept;
    void runJob(JobCall call, void* context, size_t index) noexcept;
    void helperLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    // The round in progress, under mutex_.
    JobCall call_ = nullptr;
    void* context_ = nullptr;
    size_t count_ = 0;
    size_t next_ = 0;
    bool open_ = false;        // the calling thread still runs or waits for jobs of the round
    bool helperBusy_ = false;  // the helper runs jobs of the round
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread helper_;
};

}  // namespace zel
