// Distinct objects share nothing: the list, map, file and string drivers run
// on several threads at once, each thread with its own objects and its own
// temporary directory, over seeded random scripts and the committed corpus
// until a deadline. Under ThreadSanitizer (the tsan preset) any memory the
// threads touch without an order between them fails the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/file_model.h"
#include "support/list_script.h"
#include "support/map_script.h"
#include "support/string_model.h"
#include "support/temp_dir.h"

namespace {

using zand_test::TempDir;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Unit {
  const char* target;   // the fuzz target whose corpus is replayed
  std::size_t longest;  // the longest random script
  std::string (*run)(const TempDir& dir, const Bytes& script);
};

const std::array<Unit, 4> kUnits = {{
    {"fuzz_obj_list", 300,
     [](const TempDir&, const Bytes& script) {
       return zand_test::run_list_script(script.data(), script.size());
     }},
    {"fuzz_obj_map", 4000,
     [](const TempDir&, const Bytes& script) {
       return zand_test::run_map_script(script.data(), script.size());
     }},
    {"fuzz_string_utils", 200,
     [](const TempDir&, const Bytes& script) {
       return zand_test::run_string_script(script.data(), script.size());
     }},
    {"fuzz_read_string", 6000,
     [](const TempDir& dir, const Bytes& script) {
       return zand_test::check_read_string(
           dir, std::string(script.begin(), script.end()));
     }},
}};

// How long the threads keep going: ZAND_STL_THREADS_SECONDS, by default a
// quarter of a second, which the tsan preset raises.
Clock::duration run_time() {
  const char* text = std::getenv("ZAND_STL_THREADS_SECONDS");
  const double seconds = text != nullptr ? std::strtod(text, nullptr) : 0.25;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(seconds));
}

// Each unit's corpus, read once before the threads start and only read by
// them.
std::vector<std::vector<Bytes>> read_corpora() {
  std::vector<std::vector<Bytes>> corpora;
  for (const Unit& unit : kUnits) {
    std::vector<std::filesystem::path> paths;
    for (const auto& input : std::filesystem::directory_iterator(
             std::filesystem::path(ZAND_STL_FUZZ_CORPUS) / unit.target)) {
      paths.push_back(input.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<Bytes> inputs;
    for (const auto& path : paths) {
      const std::string bytes = zand_test::read_file(path.string());
      inputs.emplace_back(bytes.begin(), bytes.end());
    }
    corpora.push_back(std::move(inputs));
  }
  return corpora;
}

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

struct Outcome {
  std::array<std::size_t, kUnits.size()> runs{};
  std::string failure;  // the first, with the unit and the input
};

// In round r thread i runs unit (r + i * (r / 4)) % 4: in rounds 0-3 every
// thread the same unit, in 4-7 each a different one, in 8-11 two pairs on
// two units, and so on, so that every unit meets itself and every other at
// once. A thread's runs of one unit alternate between a random script and
// the next corpus input, from a place of its own in the corpus.
void drive(std::size_t index, const std::vector<std::vector<Bytes>>& corpora,
           Rounds& rounds, Outcome& outcome) {
  TempDir dir;
  std::mt19937 rng(static_cast<std::uint32_t>(20261206 + index));
  for (std::size_t round = 0; rounds.next(); ++round) {
    const std::size_t u =
        (round + index * (round / kUnits.size())) % kUnits.size();
    const Unit& unit = kUnits[u];
    const std::size_t run = outcome.runs[u]++;
    std::string input;
    Bytes script;
    if (run % 2 == 0) {
      script.resize(1 + rng() % unit.longest);
      for (std::uint8_t& byte : script) {
        byte = static_cast<std::uint8_t>(rng());
      }
      input = "random script of " + std::to_string(script.size()) + " bytes";
    } else {
      const std::vector<Bytes>& corpus = corpora[u];
      const std::size_t at = (index + run / 2) % corpus.size();
      script = corpus[at];
      input = "corpus input " + std::to_string(at);
    }
    std::string failure;
    try {
      failure = unit.run(dir, script);
    } catch (const std::exception& e) {
      failure = std::string("exception: ") + e.what();
    }
    if (!failure.empty() && outcome.failure.empty()) {
      outcome.failure =
          std::string(unit.target) + ", " + input + ": " + failure;
    }
  }
}

TEST(Threads, DriversRunOnFourThreadsAtOnceEachWithItsOwnObjects) {
  constexpr std::size_t kThreads = 4;
  const std::vector<std::vector<Bytes>> corpora = read_corpora();
  for (std::size_t u = 0; u < kUnits.size(); ++u) {
    ASSERT_FALSE(corpora[u].empty()) << "no corpus for " << kUnits[u].target;
  }
  // Eight rounds at least: every unit twice, with both kinds of input.
  Rounds rounds(kThreads, 2 * kUnits.size(), Clock::now() + run_time());
  std::vector<Outcome> outcomes(kThreads);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kThreads; ++i) {
    threads.emplace_back(drive, i, std::cref(corpora), std::ref(rounds),
                         std::ref(outcomes[i]));
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t i = 0; i < kThreads; ++i) {
    EXPECT_EQ(outcomes[i].failure, "") << "thread " << i;
  }
}

}  // namespace
