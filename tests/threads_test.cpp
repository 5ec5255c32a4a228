// Distinct objects share nothing: the list, map, file and string drivers run
// on four threads at once, each thread with its own objects and files
// (support/thread_runs.h). The tsan leg runs this for five seconds under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <vector>

#include "support/map_script.h"
#include "support/thread_runs.h"

namespace {

using zand_test::Bytes;
using zand_test::TempDir;

TEST(Threads, DriversRunOnFourThreadsAtOnceEachWithItsOwnObjects) {
  std::vector<zand_test::ThreadUnit> units = zand_test::interface_units();
  units.push_back(
      {"fuzz_obj_map", 4000, [](const TempDir&, const Bytes& script) {
         return zand_test::run_map_script(script.data(), script.size());
       }});
  zand_test::expect_units_pass_on_threads(units);
}

}  // namespace
