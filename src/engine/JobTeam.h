#pragma once
// Shares the work of a file run between the calling thread and one helper thread. A job alongside (reading the
// next slice) runs on the helper while the calling thread does the batch step of the current slice; the batch
// step hands out the independent jobs at its end (filling each histogram and map set, writing the extended
// lists: each reads the batch and changes only its own state) to both threads, and so does the export (writing
// each set's files). Each call returns when its jobs are done.
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

    // Runs work() on the calling thread and alongside() on the helper, next to it; rounds of jobs that work()
    // runs are joined by the helper once alongside() is done. Returns when both are done. Without a helper,
    // alongside() runs after work(). An exception of either is raised here once both have ended (work()'s first).
    template <class Alongside, class Work>
    void runAlongside(Alongside& alongside, Work& work) {
        runPair([](void* context) { (*static_cast<Alongside*>(context))(); }, &alongside,
                [](void* context) { (*static_cast<Work*>(context))(); }, &work);
    }

    // True when a helper thread takes part.
    bool hasHelper() const { return helper_.joinable(); }

    // Whether an engine's team should have a helper: the machine has more than one core, and the environment
    // variable ZEL_THREADS does not limit the engine to one thread (set to 1 where several engines share the
    // cores, such as the worker processes of a cluster).
    static bool helperWanted();

private:
    using JobCall = void (*)(void*, size_t);
    using TaskCall = void (*)(void*);
    void runJobs(size_t count, JobCall call, void* context);
    void runPair(TaskCall alongside, void* alongsideContext, TaskCall work, void* workContext);
    void runAlongsideTask() noexcept;
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
    // The job alongside, under mutex_: waiting to be taken, or being run.
    TaskCall alongside_ = nullptr;
    void* alongsideContext_ = nullptr;
    bool alongsidePending_ = false;
    bool alongsideRunning_ = false;
    std::exception_ptr alongsideFailure_;
    std::thread helper_;
};

}  // namespace zel
