// Runs model-checking drivers (support/script.h) on four threads at once,
// each thread with its own objects and its own temporary directory, over
// seeded random scripts and each driver's committed fuzz corpus, until a
// deadline. Under ThreadSanitizer any memory two threads touch without an
// order between them fails the run.
#ifndef ZAND_STL_TESTS_SUPPORT_THREAD_RUNS_H
#define ZAND_STL_TESTS_SUPPORT_THREAD_RUNS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "containers/list_script.h"
#include "support/script.h"
#include "support/script_runs.h"
#include "support/temp_dir.h"
#include "util/file_model.h"
#include "util/string_model.h"

namespace zand_test {

// The drivers that reach only the interface: the list's, the string
// functions' and the file's. The map's driver also drives the table inside,
// so each program adds the map driver it can run.
inline std::vector<Driver> interface_drivers() {
  return {kListDriver, kStringDriver, kFileDriver};
}

namespace thread_runs {

using Clock = std::chrono::steady_clock;

// Lets the threads run in rounds: all of them end a round before any starts
// the next, so that within a round they run at once. The last to arrive
// decides whether another round follows, so that all decide alike: at least
// `least` rounds, then more until the deadline.
class Rounds {
 public:
  Rounds(std::size_t threads, std::size_t least, Clock::time_point deadline)
      : m_threads(threads), m_least(least), m_deadline(deadline) {}

  // Waits for the others; whether another round follows.
  bool next() {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::size_t passed = m_passed;
    if (++m_arrived == m_threads) {
      m_arrived = 0;
      ++m_passed;
      m_more = m_passed <= m_least || Clock::now() < m_deadline;
      m_changed.notify_all();
    } else {
      m_changed.wait(lock, [&] { return m_passed != passed; });
    }
    return m_more;
  }

 private:
  const std::size_t m_threads;
  const std::size_t m_least;
  const Clock::time_point m_deadline;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::size_t m_arrived = 0;
  std::size_t m_passed = 0;  // rounds begun
  bool m_more = true;
};

// Each driver's corpus, read before the threads start and only read by
// them.
inline std::vector<std::vector<Bytes>> read_corpora(
    const std::vector<Driver>& drivers) {
  std::vector<std::vector<Bytes>> corpora;
  for (const Driver& driver : drivers) {
    corpora.push_back(corpus_of(driver));
  }
  return corpora;
}

// With n units, in round r thread i runs unit (r + i * (r / n)) % n: with
// four units, in rounds 0-3 every thread the same unit, in 4-7 each a
// different one, in 8-11 two pairs on two units, and so on, so that every
// unit meets itself and every other at once. A thread's runs of one unit
// alternate between a random script and the next corpus input, from a place
// of its own in the corpus. Returns the first failure, with the unit and the
// input ("" for none).
inline std::string drive(std::size_t index, const std::vector<Driver>& units,
                         const std::vector<std::vector<Bytes>>& corpora,
                         Rounds& rounds) {
  const TempDir dir;
  std::mt19937 rng(static_cast<std::uint32_t>(20261206 + index));
  std::vector<std::size_t> runs(units.size());
  std::string first;
  for (std::size_t round = 0; rounds.next(); ++round) {
    const std::size_t u =
        (round + index * (round / units.size())) % units.size();
    const std::size_t run = runs[u]++;
    std::string input;
    Bytes script;
    if (run % 2 == 0) {
      script = random_script(rng, units[u]);
      input = "random script of " + std::to_string(script.size()) + " bytes";
    } else {
      const std::size_t at = (index + run / 2) % corpora[u].size();
      script = corpora[u][at];
      input = "corpus input " + std::to_string(at);
    }
    const std::string failure = units[u].run(dir, script.data(), script.size());
    if (!failure.empty() && first.empty()) {
      first = std::string(units[u].target) + ", " + input + ": " + failure;
    }
  }
  return first;
}

}  // namespace thread_runs

// Starts the threads, runs the units on them and joins them. How long they
// go on is ZAND_STL_THREADS_SECONDS, by default a quarter of a second (the
// tsan preset gives more), and at least two rounds per unit, so that every
// thread runs every unit on both kinds of input.
inline void expect_units_pass_on_threads(const std::vector<Driver>& units) {
  constexpr std::size_t kThreads = 4;
  const std::vector<std::vector<Bytes>> corpora =
      thread_runs::read_corpora(units);
  for (std::size_t u = 0; u < units.size(); ++u) {
    ASSERT_FALSE(corpora[u].empty()) << "no corpus for " << units[u].target;
  }
  const char* seconds = std::getenv("ZAND_STL_THREADS_SECONDS");
  const auto run_time =
      std::chrono::duration_cast<thread_runs::Clock::duration>(
          std::chrono::duration<double>(
              seconds != nullptr ? std::strtod(seconds, nullptr) : 0.25));
  thread_runs::Rounds rounds(kThreads, 2 * units.size(),
                             thread_runs::Clock::now() + run_time);
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      failures[i] = thread_runs::drive(i, units, corpora, rounds);
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t i = 0; i < kThreads; ++i) {
    EXPECT_EQ(failures[i], "") << "thread " << i;
  }
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_THREAD_RUNS_H
