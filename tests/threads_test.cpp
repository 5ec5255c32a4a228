// Distinct objects share nothing: the list, map, file and string drivers run
// on four threads at once, each thread with its own objects and files
// (support/thread_runs.h). The tsan leg runs this for five seconds under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>

#include "support/file_model.h"
#include "support/list_script.h"
#include "support/map_script.h"
#include "support/string_model.h"
#include "support/thread_runs.h"

namespace {

using zand_test::Bytes;
using zand_test::TempDir;

TEST(Threads, DriversRunOnFourThreadsAtOnceEachWithItsOwnObjects) {
  zand_test::expect_units_pass_on_threads({
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
  });
}

}  // namespace
