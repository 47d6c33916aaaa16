#include "engine/JobTeam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using zel::JobTeam;

TEST(JobTeam, RunsEveryJobOnceAndJobZeroOnTheCallingThread) {
    for (bool helper : {false, true}) {
        JobTeam team(helper);
        EXPECT_EQ(team.hasHelper(), helper);
        // Many short rounds in a row: a round must neither lose nor repeat a job of its own or of the one before.
        for (size_t count : {1, 2, 3, 17, 200}) {
            for (int round = 0; round < 300; ++round) {
                std::vector<std::atomic<int>> runs(count);
                std::thread::id firstOn;
                auto job = [&](size_t index) {
                    if (index == 0) firstOn = std::this_thread::get_id();
                    runs[index].fetch_add(1);
                };
                team.run(count, job);
                for (size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i].load(), 1) << count << " jobs, job " << i;
                ASSERT_EQ(firstOn, std::this_thread::get_id());
            }
        }
        auto none = [](size_t) { FAIL() << "no job to run"; };
        team.run(0, none);
    }
}

TEST(JobTeam, BothThreadsTakePartAndAFailureComesBackAfterTheRound) {
    JobTeam team(true);
    // Job 0 waits until another job has started: only the helper can have started it.
    std::atomic<bool> othersStarted{false};
    auto waiting = [&](size_t index) {
        if (index == 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!othersStarted.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        } else {
            othersStarted.store(true);
        }
    };
    team.run(2, waiting);
    EXPECT_TRUE(othersStarted.load());

    std::atomic<int> finished{0};
    auto failing = [&](size_t index) {
        if (index == 3) throw std::runtime_error("-3009");
        finished.fetch_add(1);
    };
    EXPECT_THROW(team.run(8, failing), std::runtime_error);
    EXPECT_EQ(finished.load(), 7);
    // The team goes on working after a failure.
    finished = 0;
    auto counting = [&](size_t) { finished.fetch_add(1); };
    team.run(5, counting);
    EXPECT_EQ(finished.load(), 5);
}

TEST(JobTeam, AJobAlongsideRunsNextToTheWorkAndItsRounds) {
    for (bool helper : {false, true}) {
        JobTeam team(helper);
        for (int slice = 0; slice < 200; ++slice) {
            std::atomic<int> alongsideRuns{0};
            std::vector<std::atomic<int>> runs(9);
            auto alongside = [&] { alongsideRuns.fetch_add(1); };
            auto job = [&](size_t index) { runs[index].fetch_add(1); };
            // The work runs rounds of its own while the job alongside may still be running.
            auto work = [&] {
                team.run(runs.size(), job);
                team.run(runs.size(), job);
            };
            team.runAlongside(alongside, work);
            ASSERT_EQ(alongsideRuns.load(), 1);
            for (auto& r : runs) ASSERT_EQ(r.load(), 2);
        }
        // Failures of either side come back; the work's first.
        auto failingAlongside = [] { throw std::runtime_error("alongside"); };
        auto failingWork = [] { throw std::runtime_error("work"); };
        auto quietWork = [] {};
        try {
            team.runAlongside(failingAlongside, failingWork);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "work");
        }
        EXPECT_THROW(team.runAlongside(failingAlongside, quietWork), std::runtime_error);
        std::atomic<int> after{0};
        auto counting = [&] { after.fetch_add(1); };
        team.runAlongside(counting, counting);
        EXPECT_EQ(after.load(), 2);
    }
}

TEST(JobTeam, OneThreadWhenTheEnvironmentAsksForIt) {
    const char* before = std::getenv("ZEL_THREADS");
    const std::string saved = before ? before : "";
    setenv("ZEL_THREADS", "1", 1);
    EXPECT_FALSE(JobTeam::helperWanted());
    setenv("ZEL_THREADS", "2", 1);
    EXPECT_EQ(JobTeam::helperWanted(), std::thread::hardware_concurrency() > 1);
    unsetenv("ZEL_THREADS");
    EXPECT_EQ(JobTeam::helperWanted(), std::thread::hardware_concurrency() > 1);
    if (before) setenv("ZEL_THREADS", saved.c_str(), 1);
}
