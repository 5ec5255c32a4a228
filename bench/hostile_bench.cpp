// ZAND_OBJ_MAP fed keys an attacker chooses: 40-byte keys that all share
// one hash, and 40-byte keys whose hashes agree in their low 20 bits. Each
// is set against the library fed random keys of the same length and count
// (what the chosen keys may cost at most), against std::map (the container
// a user would pick for a guaranteed O(log n)) and against
// std::unordered_map with h x 17 (what such keys do to a plain chained
// table).
#include <benchmark/benchmark.h>

#include <algorithm>
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

using zand_bench::DistinctKeys;
using zand_bench::drop_kept_map;
using zand_bench::H17Hash;
using zand_bench::kept_map;
using zand_bench::report_ops;
using zand_bench::Rng;
using zand_bench::StdMap;
using zand_bench::StdUnordered;
using zand_bench::thread_cpu_seconds;
using zand_bench::value_for;
using zand_bench::ZandMap;
using zand_test::low_bits_key;
using zand_test::one_bucket_key;
using zand_test::other_case;

// ---- Inputs.

enum Family { kOneHash, kLowBits, kRandom };

constexpr std::size_t kKeyBytes = 40;
// one_bucket_key(i, 20): 20 blocks of two bytes, distinct for i < 2^20.
constexpr std::size_t kOneHashBlocks = kKeyBytes / 2;
constexpr std::size_t kOneHashKeys = std::size_t{1} << kOneHashBlocks;
// low_bits_key(i, 20, 40): distinct for every i. Making its table takes
// seconds, once per program.
constexpr unsigned kAgreeingBits = 20;

std::string family_key(Family family, std::size_t i) {
  return family == kOneHash ? one_bucket_key(i, kOneHashBlocks)
                            : low_bits_key(i, kAgreeingBits, kKeyBytes);
}

// 40 random lowercase letters and digits: keys whose hashes spread.
std::string random_key(Rng& rng) {
  static const char symbols[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string key(kKeyBytes, ' ');
  for (char& c : key) {
    c = symbols[rng.below(sizeof symbols - 1)];
  }
  return key;
}

struct KeySet {
  Family family = kRandom;
  std::size_t n = 0;
  std::vector<std::string> stored;  // distinct, in the order inserted
  std::vector<std::string> hits;    // the stored keys in the other case,
                                    // in random order
  std::vector<std::string> misses;  // absent keys of the same family (none
                                    // for random keys)
};

// Keys number 0 to n - 1 of the family, shuffled, and as misses the next
// ones (of one hash, n of them at most up to 2^20, where the family ends);
// or n random keys. Only the last key set of each, family or random, is
// kept (the benchmarks run size by size), and the kept map with it.
const KeySet& key_set(Family family, std::size_t n) {
  static std::unique_ptr<KeySet> kept[2];  // chosen keys, random keys
  std::unique_ptr<KeySet>& slot = kept[family == kRandom ? 1 : 0];
  if (!slot || slot->family != family || slot->n != n) {
    drop_kept_map();
    slot.reset();
    slot = std::make_unique<KeySet>();
    slot->family = family;
    slot->n = n;
    Rng rng(family == kRandom ? 41 : 43);
    if (family == kRandom) {
      DistinctKeys distinct;
      while (slot->stored.size() < n) {
        std::string key = random_key(rng);
        if (distinct.admit(key)) {
          slot->stored.push_back(std::move(key));
        }
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        slot->stored.push_back(family_key(family, i));
      }
      rng.shuffle(slot->stored);
      const std::size_t end =
          family == kOneHash ? std::min(2 * n, kOneHashKeys) : 2 * n;
      for (std::size_t i = n; i < end; ++i) {
        slot->misses.push_back(family_key(family, i));
      }
    }
    for (const std::string& key : slot->stored) {
      slot->hits.push_back(other_case(key));
    }
    rng.shuffle(slot->hits);
  }
  return *slot;
}

// ---- The workloads.

template <typename Map>
void hostile_insert(benchmark::State& state, Family family) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string>& keys = key_set(family, n).stored;
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

// Lookups of the hits, or of the misses, of a filled map; the answers are
// checked once before timing.
template <typename Map>
void hostile_lookup(benchmark::State& state, Family family, bool hit) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const KeySet& keys = key_set(family, n);
  const std::vector<std::string>& asked = hit ? keys.hits : keys.misses;
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

// ---- Registration: names read map_hostile_<workload>/container/family/size,
// the family being that of the chosen keys also for zand_random, which is
// measured under each so that every case holds its own yardstick.
//
// A miss among random keys is mostly settled by a byte of the hash, which
// chosen keys share by design; so zand_random's "miss" is a random key's
// hit, and a chosen miss is held to what a hit costs.

enum Workload { kInsert, kHit, kMiss };

// std::unordered_map takes O(n) per operation on keys of one hash: at
// 100 000 keys a single case would run for minutes.
constexpr std::int64_t kMostForUnordered = 10000;

// `family` names the case; `keys` are those the container is fed, the
// family's or random ones.
template <typename Map>
void register_case(const std::string& name, Workload workload, Family family,
                   Family keys, std::int64_t n) {
  static const char* const workloads[] = {
      "map_hostile_insert", "map_hostile_hit", "map_hostile_miss"};
  const std::string full = std::string(workloads[workload]) + "/" + name +
                           (family == kOneHash ? "/one_hash" : "/low_bits");
  benchmark::internal::Benchmark* b = nullptr;
  if (workload == kInsert) {
    b = benchmark::RegisterBenchmark(full.c_str(), hostile_insert<Map>, keys)
            ->UseManualTime();
  } else {
    b = benchmark::RegisterBenchmark(full.c_str(), hostile_lookup<Map>, keys,
                                     workload == kHit || keys == kRandom);
  }
  b->Arg(n);
}

// Registers `workloads` of a case for each container in turn.
void register_containers(std::initializer_list<Workload> workloads,
                         Family family, std::int64_t n) {
  for (const Workload w : workloads) {
    register_case<ZandMap>("zand", w, family, family, n);
  }
  for (const Workload w : workloads) {
    register_case<ZandMap>("zand_random", w, family, kRandom, n);
  }
  for (const Workload w : workloads) {
    register_case<StdMap>("std_map", w, family, family, n);
  }
  for (const Workload w : workloads) {
    if (n <= kMostForUnordered) {
      register_case<StdUnordered<H17Hash>>("std_unordered_h17", w, family,
                                           family, n);
    }
  }
}

// Case by case, the insertions of every container one after another, so
// that the machine's load is much the same for the figures that are
// compared; then, container by container, the lookups in one filled map,
// built once for them.
void register_all() {
  for (const Family family : {kOneHash, kLowBits}) {
    for (const std::int64_t n : {1000, 10000, 100000, 1000000}) {
      register_containers({kInsert}, family, n);
      register_containers({kHit, kMiss}, family, n);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  return zand_bench::run_registered(argc, argv);
}
