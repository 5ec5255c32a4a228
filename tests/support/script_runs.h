// Runs a model-checking driver (support/script.h) under GoogleTest: over
// seeded random scripts, and over every input of its fuzz target's
// committed corpus.
#ifndef ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H
#define ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zand_test {

template <typename Driver>
void expect_scripts_pass(Driver driver, const char* target, int count,
                         std::size_t longest) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < count; ++i) {
    std::vector<std::uint8_t> script(1 + rng() % longest);
    for (std::uint8_t& byte : script) {
      byte = static_cast<std::uint8_t>(rng());
    }
    ASSERT_EQ(driver(script.data(), script.size()), "") << "script " << i;
  }
  const std::filesystem::path corpus =
      std::filesystem::path(ZAND_STL_FUZZ_CORPUS) / target;
  int inputs = 0;
  for (const auto& input : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = read_file(input.path().string());
    ASSERT_EQ(driver(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                     bytes.size()),
              "")
        << input.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no corpus in " << corpus;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_SCRIPT_RUNS_H
