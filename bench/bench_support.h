// Helpers shared by the benchmark programs: deterministic inputs, a per-thread
// CPU clock for timing by hand, and the per-operation figures every
// benchmark reports.
#ifndef ZAND_STL_BENCH_BENCH_SUPPORT_H
#define ZAND_STL_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>
#include <time.h>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
#include <malloc.h>
#define ZAND_BENCH_HAVE_MALLINFO2 1
#endif

#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace zand_bench {

// Every input comes from this generator with a fixed seed. Only its raw
// output is used (the standard fixes that sequence; it leaves the
// distributions' algorithms open), so the inputs are the same everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : m_engine(seed) {}

  std::uint64_t next() { return m_engine(); }

  // A number from 0 to n - 1 (a slight bias is of no concern here).
  std::size_t below(std::size_t n) {
    return static_cast<std::size_t>(next() % n);
  }

  template <typename T>
  void shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
      std::swap(items[i - 1], items[below(i)]);
    }
  }

 private:
  std::mt19937_64 m_engine;
};

// The calling thread's CPU time in seconds. A machine shared with other
// work stretches wall-clock times; the CPU time of the measured thread is
// what the benchmark library itself reports by default.
inline double thread_cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) +
         static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Bytes the allocator has handed out and not yet taken back, counted by
// glibc: the heap's chunks in use and the large blocks it maps on their
// own. 0 where it cannot tell.
inline std::size_t heap_bytes_in_use() {
#if defined(ZAND_BENCH_HAVE_MALLINFO2)
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#else
  return 0;
#endif
}

// Whether heap_bytes_in_use() sees an allocation: not where the count is
// missing, nor under the sanitizers, whose allocator glibc does not count.
inline bool heap_is_counted() {
  const std::size_t before = heap_bytes_in_use();
  const std::unique_ptr<char[]> probe(new char[4096]);
  benchmark::DoNotOptimize(probe.get());
  return heap_bytes_in_use() > before;
}

// Sets the counter `name` to the CPU time per unit, each iteration doing
// `units_per_iteration` units (a rate inverted: in the JSON output in
// seconds, on the console with an SI prefix, e.g. "41.2ns").
inline void report_time_per(benchmark::State& state, const char* name,
                            std::size_t units_per_iteration) {
  state.counters[name] =
      benchmark::Counter(static_cast<double>(units_per_iteration),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

// Reports `ops_per_iteration` operations per iteration: items_per_second,
// and ns_per_op (time per operation; in the JSON output in seconds).
inline void report_ops(benchmark::State& state, std::size_t ops_per_iteration) {
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(ops_per_iteration));
  report_time_per(state, "ns_per_op", ops_per_iteration);
}

// Runs the registered benchmarks with the command line's options; the exit
// status of main().
inline int run_registered(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace zand_bench

#endif  // ZAND_STL_BENCH_BENCH_SUPPORT_H
