// ZAND_OBJ_MAP against the usual case-insensitive maps, from 1 000 to
// 10 000 000 keys: inserting new keys, lookups that hit (asked in another
// letter case, in random order and in the order stored) and that miss, a
// full walk, a copy, the longest single insertion while a map grows, the
// memory a filled map holds, and keys that all fall into one bucket.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "containers/key_model.h"
#include "kept_map.h"
#include "map_peers.h"

namespace {

using zand_bench::AbslFlat;
using zand_bench::build;
using zand_bench::DistinctKeys;
using zand_bench::drop_kept_map;
using zand_bench::FnvHash;
using zand_bench::H17Hash;
using zand_bench::heap_bytes_in_use;
using zand_bench::kept_map;
using zand_bench::KeyKind;
using zand_bench::kLongKeys;
using zand_bench::kShortKeys;
using zand_bench::make_key;
using zand_bench::report_ops;
using zand_bench::Rng;
using zand_bench::StdMap;
using zand_bench::StdUnordered;
using zand_bench::thread_cpu_seconds;
using zand_bench::value_for;
using zand_bench::ZandMap;
using zand_test::one_bucket_key;
using zand_test::other_case;

// ---- Inputs.

// Lookups in random order ask at most this many keys, a random sample past
// it: any key asked at random costs much the same, and at 10 000 000 keys
// two more sets of that many keys would cost the memory and the time of
// more than one more map.
constexpr std::size_t kMostAsked = 1000000;

struct KeySet {
  KeyKind kind = kShortKeys;
  std::size_t n = 0;
  std::vector<std::string> stored;        // distinct, whatever the case
  std::vector<std::string> hits_ordered;  // the stored keys in the other
                                          // case, in the order stored
  std::vector<std::string> hits;          // min(n, kMostAsked) of them,
                                          // in random order
  std::vector<std::string> misses;        // min(n, kMostAsked) keys that
                                          // are not stored
};

// Built before any timing; only the last kind and size asked for is kept
// (the benchmarks run size by size), and the kept map goes with it.
const KeySet& key_set(KeyKind kind, std::size_t n) {
  static std::unique_ptr<KeySet> kept;
  if (!kept || kept->kind != kind || kept->n != n) {
    drop_kept_map();
    kept.reset();
    kept = std::make_unique<KeySet>();
    kept->kind = kind;
    kept->n = n;
    Rng rng(kind == kShortKeys ? 11 : 23);
    DistinctKeys distinct;
    while (kept->stored.size() < n) {
      std::string key = make_key(rng, kind);
      if (distinct.admit(key)) {
        kept->stored.push_back(std::move(key));
      }
    }
    for (const std::string& key : kept->stored) {
      kept->hits_ordered.push_back(other_case(key));
    }
    kept->hits = kept->hits_ordered;
    rng.shuffle(kept->hits);
    kept->hits.resize(std::min(n, kMostAsked));
    kept->hits.shrink_to_fit();
    while (kept->misses.size() < std::min(n, kMostAsked)) {
      std::string key = make_key(rng, kind);
      if (distinct.admit(key)) {
        kept->misses.push_back(std::move(key));
      }
    }
  }
  return *kept;
}

// ---- The workloads.

template <typename Map>
void map_insert(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string>& keys = key_set(kind, n).stored;
  drop_kept_map();
  for (auto _ : state) {
    auto map = std::make_unique<Map>();
    const double start = thread_cpu_seconds();
    for (std::size_t i = 0; i < n; ++i) {
      map->set(keys[i], value_for(i));
    }
    state.SetIterationTime(thread_cpu_seconds() - start);
    map.reset();  // freed outside the measured span
  }
  report_ops(state, n);
}

enum Asked { kHits, kHitsOrdered, kMisses };

template <typename Map>
void map_lookup(benchmark::State& state, KeyKind kind, Asked which) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const KeySet& keys = key_set(kind, n);
  const bool hit = which != kMisses;
  const std::vector<std::string>& asked = which == kHits ? keys.hits
                                          : hit          ? keys.hits_ordered
                                                         : keys.misses;
  const Map& map = kept_map<Map>(keys.stored);
  for (const std::string& key : asked) {
    if ((map.find(key) != nullptr) != hit) {
      state.SkipWithError("a lookup gave the wrong answer");
      return;
    }
  }
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& key : asked) {
      sum += reinterpret_cast<std::uintptr_t>(map.find(key));
    }
    benchmark::DoNotOptimize(sum);
  }
  report_ops(state, asked.size());
}

template <typename Map>
void map_walk(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  Map& map = kept_map<Map>(key_set(kind, n).stored);
  std::string key;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.walk(key));
  }
  report_ops(state, n);
}

template <typename Map>
void map_copy(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Map& map = kept_map<Map>(key_set(kind, n).stored);
  for (auto _ : state) {
    const double start = thread_cpu_seconds();
    auto copy = std::make_unique<Map>(map);
    state.SetIterationTime(thread_cpu_seconds() - start);
    copy.reset();
  }
  report_ops(state, n);
}

// The longest single insertion while one map grows to n short keys. The
// map is grown kRuns times and each insertion keeps its shortest time of
// the runs: the work of the i-th insertion is the same in every run, while
// a run interrupted by the rest of the machine is not, so the maximum over
// the insertions is the longest pause that the container itself causes.
template <typename Map>
void map_pause(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kRuns = 5;
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string>& keys = key_set(kShortKeys, n).stored;
  drop_kept_map();
  std::vector<double> shortest(n);
  double longest_raw = 0;
  for (auto _ : state) {
    std::fill(shortest.begin(), shortest.end(), 1e30);
    for (int run = 0; run < kRuns; ++run) {
      auto map = std::make_unique<Map>();
      for (std::size_t i = 0; i < n; ++i) {
        const auto start = Clock::now();
        map->set(keys[i], value_for(i));
        const double ns =
            std::chrono::duration<double, std::nano>(Clock::now() - start)
                .count();
        shortest[i] = std::min(shortest[i], ns);
        longest_raw = std::max(longest_raw, ns);
      }
    }
  }
  state.counters["max_pause_ns"] =
      *std::max_element(shortest.begin(), shortest.end());
  state.counters["max_pause_raw_ns"] = longest_raw;
}

// The allocator's bytes in use per entry of a map of n short keys, the
// map object itself included.
template <typename Map>
void map_memory(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string>& keys = key_set(kShortKeys, n).stored;
  drop_kept_map();
  double per_entry = 0;
  for (auto _ : state) {
    const std::size_t before = heap_bytes_in_use();
    auto map = build<Map>(keys);
    per_entry = static_cast<double>(heap_bytes_in_use() - before) /
                static_cast<double>(n);
    map.reset();
  }
  state.counters["bytes_per_entry"] = per_entry;
}

// Keys that all share one hash, hence one bucket at any size (see
// one_bucket_key), asked in the other letter case, in random order.
template <typename Map>
void map_collide(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::size_t blocks = 1;
  while ((std::size_t{1} << blocks) < n) {
    ++blocks;
  }
  std::vector<std::string> keys;
  for (std::size_t k = 0; k < n; ++k) {
    keys.push_back(one_bucket_key(k, blocks));
  }
  const auto map = build<Map>(keys);
  std::vector<std::string> asked;
  for (const std::string& key : keys) {
    asked.push_back(other_case(key));
  }
  Rng rng(37);
  rng.shuffle(asked);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& key : asked) {
      sum += reinterpret_cast<std::uintptr_t>(map->find(key));
    }
    benchmark::DoNotOptimize(sum);
  }
  report_ops(state, n);
}

// ---- Registration: names read workload/container/keys/size.
//
// Case by case (the keys of one kind and size are made once), the
// insertions of every container one after another, so that the machine's
// load is much the same for the figures that are compared; then, container
// by container, the workloads that read one filled map, which is built once
// for them and is the only one alive (at 10 000 000 keys a few filled maps
// would not fit beside the keys).

enum Workload { kInsert, kHit, kHitOrdered, kMiss, kWalk, kCopy };

// Past this size std::map and absl::flat_hash_map with FNV-1a are left out,
// to keep the run's time and memory in bounds.
constexpr std::int64_t kMostForEveryPeer = 1000000;

template <typename Map>
void register_case(const std::string& name, Workload workload, KeyKind kind,
                   std::int64_t n) {
  static const char* const workloads[] = {"map_insert",      "map_hit",
                                          "map_hit_ordered", "map_miss",
                                          "map_walk",        "map_copy"};
  const std::string full = std::string(workloads[workload]) + "/" + name +
                           (kind == kShortKeys ? "/short" : "/long64");
  benchmark::internal::Benchmark* b = nullptr;
  switch (workload) {
    case kInsert:
      b = benchmark::RegisterBenchmark(full.c_str(), map_insert<Map>, kind)
              ->UseManualTime();
      break;
    case kHit:
    case kHitOrdered:
    case kMiss:
      b = benchmark::RegisterBenchmark(full.c_str(), map_lookup<Map>, kind,
                                       workload == kHit    ? kHits
                                       : workload == kMiss ? kMisses
                                                           : kHitsOrdered);
      break;
    case kWalk:
      b = benchmark::RegisterBenchmark(full.c_str(), map_walk<Map>, kind);
      break;
    case kCopy:
      b = benchmark::RegisterBenchmark(full.c_str(), map_copy<Map>, kind)
              ->UseManualTime();
      break;
  }
  b->Arg(n);
}

template <typename Map>
void register_container(const std::string& name,
                        std::initializer_list<Workload> workloads, KeyKind kind,
                        std::int64_t n) {
  for (const Workload w : workloads) {
    register_case<Map>(name, w, kind, n);
  }
}

// Registers `workloads` of a case for each container in turn.
void register_containers(std::initializer_list<Workload> workloads,
                         KeyKind kind, std::int64_t n) {
  register_container<ZandMap>("zand", workloads, kind, n);
  register_container<StdUnordered<H17Hash>>("std_unordered_h17", workloads,
                                            kind, n);
  register_container<StdUnordered<FnvHash>>("std_unordered_fnv", workloads,
                                            kind, n);
  register_container<AbslFlat<H17Hash>>("absl_flat_h17", workloads, kind, n);
  if (n <= kMostForEveryPeer) {
    register_container<AbslFlat<FnvHash>>("absl_flat_fnv", workloads, kind, n);
    register_container<StdMap>("std_map", workloads, kind, n);
  }
}

template <typename Map>
void register_pause(const std::string& name, std::int64_t n) {
  benchmark::RegisterBenchmark(("map_pause/" + name + "/short").c_str(),
                               map_pause<Map>)
      ->Arg(n)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

// Past 1 000 000 keys once, whatever the repetitions asked for: a build
// takes seconds there, and the count hardly varies from run to run.
template <typename Map>
void register_memory(const std::string& name, std::int64_t n) {
  benchmark::internal::Benchmark* b =
      benchmark::RegisterBenchmark(("map_memory/" + name + "/short").c_str(),
                                   map_memory<Map>)
          ->Arg(n)
          ->Iterations(1);
  if (n > 1000000) {
    b->Repetitions(1);
  }
}

template <typename Map>
void register_collide(const std::string& name, std::int64_t n) {
  benchmark::RegisterBenchmark(("map_collide/" + name).c_str(),
                               map_collide<Map>)
      ->Arg(n);
}

void register_all() {
  const bool counts_bytes = zand_bench::heap_is_counted();
  // Long keys stop at 1 000 000: at 10 000 000 their key set alone would
  // take several GiB.
  for (const KeyKind kind : {kShortKeys, kLongKeys}) {
    for (const std::int64_t n : {1000, 100000, 1000000, 10000000}) {
      if (kind == kLongKeys && n > kMostForEveryPeer) {
        continue;
      }
      register_containers({kInsert}, kind, n);
      register_containers({kHit, kHitOrdered, kMiss, kWalk, kCopy}, kind, n);
      if (kind != kShortKeys) {
        continue;
      }
      if (n == 1000 || n == 1000000) {
        register_pause<ZandMap>("zand", n);
        register_pause<StdUnordered<H17Hash>>("std_unordered_h17", n);
        register_pause<AbslFlat<H17Hash>>("absl_flat_h17", n);
      }
      // Only where the allocator counts its bytes (not under the
      // sanitizers).
      if (counts_bytes) {
        register_memory<ZandMap>("zand", n);
        register_memory<StdUnordered<H17Hash>>("std_unordered_h17", n);
        register_memory<AbslFlat<H17Hash>>("absl_flat_h17", n);
        if (n <= kMostForEveryPeer) {
          register_memory<StdMap>("std_map", n);
        }
      }
    }
  }
  for (const std::int64_t n : {1000, 10000}) {
    register_collide<ZandMap>("zand", n);
    register_collide<StdUnordered<H17Hash>>("std_unordered_h17", n);
    register_collide<AbslFlat<H17Hash>>("absl_flat_h17", n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  return zand_bench::run_registered(argc, argv);
}
