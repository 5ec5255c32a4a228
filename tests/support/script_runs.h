// Runs a model-checking driver (support/script.h) under GoogleTest: over
// seeded random scripts, and over every input of its fuzz target's
// committed corpus.
#ifndef ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H
#define ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/script.h"
#include "support/temp_dir.h"

namespace zand_test {

using Bytes = std::vector<std::uint8_t>;

// The inputs of a driver's committed corpus, in the order of their names.
inline std::vector<Bytes> corpus_of(const Driver& driver) {
  std::vector<std::filesystem::path> paths;
  for (const auto& input : std::filesystem::directory_iterator(
           std::filesystem::path(ZAND_STL_FUZZ_CORPUS) / driver.target)) {
    paths.push_back(input.path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<Bytes> inputs;
  for (const auto& path : paths) {
    const std::string bytes = read_file(path.string());
    inputs.emplace_back(bytes.begin(), bytes.end());
  }
  return inputs;
}

// A script of random bytes, 1 to driver.longest of them.
inline Bytes random_script(std::mt19937& rng, const Driver& driver) {
  Bytes script(1 + rng() % driver.longest);
  for (std::uint8_t& byte : script) {
    byte = static_cast<std::uint8_t>(rng());
  }
  return script;
}

// `count` random scripts, then every input of the corpus.
inline void expect_scripts_pass(const Driver& driver, int count) {
  const TempDir dir;
  std::mt19937 rng(20261206);
  for (int i = 0; i < count; ++i) {
    const Bytes script = random_script(rng, driver);
    ASSERT_EQ(driver.run(dir, script.data(), script.size()), "")
        << "script " << i;
  }
  const std::vector<Bytes> corpus = corpus_of(driver);
  ASSERT_FALSE(corpus.empty()) << "no corpus for " << driver.target;
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    ASSERT_EQ(driver.run(dir, corpus[i].data(), corpus[i].size()), "")
        << driver.target << " input " << i;
  }
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H
