// ZAND_OBJ_MAP against the usual case-insensitive maps: inserting new keys,
// lookups that hit (asked in another letter case) and that miss, a full
// walk, a copy, the longest single insertion while a map grows, the memory
// a filled map holds, and keys that all fall into one bucket.
#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_bench::heap_bytes_in_use;
using zand_bench::report_ops;
using zand_bench::Rng;
using zand_bench::thread_cpu_seconds;

// ---- The peers' case-insensitive hashing and comparison, written plainly.

inline unsigned char fold(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 32)
                                      : byte;
}

// The library's hash: h = h * 17 + folded byte read as a signed number.
struct H17Hash {
  std::size_t operator()(const std::string& key) const {
    std::uint64_t h = 0;
    for (const char c : key) {
      const auto byte = static_cast<signed char>(fold(c));
      h = h * 17 + static_cast<std::uint64_t>(static_cast<std::int64_t>(byte));
    }
    return h;
  }
};

// 64-bit FNV-1a over the folded bytes.
struct FnvHash {
  std::size_t operator()(const std::string& key) const {
    std::uint64_t h = 0xcbf29ce484222325U;
    for (const char c : key) {
      h ^= fold(c);
      h *= 0x100000001b3U;
    }
    return h;
  }
};

struct CaseEqual {
  bool operator()(const std::string& a, const std::string& b) const {
    if (a.size() != b.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (fold(a[i]) != fold(b[i])) {
        return false;
      }
    }
    return true;
  }
};

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return fold(x) < fold(y); });
  }
};

// ---- One interface over the library's map and the peers.

class Item : public ZAND_OBJ {};

// Values are pointers to a few objects; only their being non-null matters.
ZAND_OBJ* value_for(std::size_t i) {
  static Item items[16];
  return &items[i % 16];
}

class ZandMap {
 public:
  void set(const std::string& key, ZAND_OBJ* value) {
    m_map.set_at(key, value);
  }
  ZAND_OBJ* find(const std::string& key) const { return m_map.look_up(key); }

  // Walks every entry, each key assigned to `key`; returns a checksum.
  std::uintptr_t walk(std::string& key) {
    std::uintptr_t sum = 0;
    m_map.reset_iterator();
    while (ZAND_OBJ* value = m_map.get_next_entry(key)) {
      sum += reinterpret_cast<std::uintptr_t>(value) ^ key.size();
    }
    return sum;
  }

 private:
  ZAND_OBJ_MAP m_map;
};

template <typename Map>
class PeerMap {
 public:
  void set(const std::string& key, ZAND_OBJ* value) {
    m_map.insert_or_assign(key, value);
  }
  ZAND_OBJ* find(const std::string& key) const {
    const auto found = m_map.find(key);
    return found == m_map.end() ? nullptr : found->second;
  }
  std::uintptr_t walk(std::string& key) const {
    std::uintptr_t sum = 0;
    for (const auto& entry : m_map) {
      key = entry.first;
      sum += reinterpret_cast<std::uintptr_t>(entry.second) ^ key.size();
    }
    return sum;
  }

 private:
  Map m_map;
};

template <typename Hash>
using StdUnordered =
    PeerMap<std::unordered_map<std::string, ZAND_OBJ*, Hash, CaseEqual>>;
template <typename Hash>
using AbslFlat =
    PeerMap<absl::flat_hash_map<std::string, ZAND_OBJ*, Hash, CaseEqual>>;
using StdMap = PeerMap<std::map<std::string, ZAND_OBJ*, CaseLess>>;

// ---- Inputs.

enum KeyKind { kShortKeys, kLongKeys };

std::string folded(const std::string& key) {
  std::string out(key);
  for (char& c : out) {
    c = static_cast<char>(fold(c));
  }
  return out;
}

// The key with each letter in its other case.
std::string other_case(const std::string& key) {
  std::string out(key);
  for (char& c : out) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      c = static_cast<char>(c ^ 0x20);
    }
  }
  return out;
}

// Mixed-case identifiers: 4 to 24 bytes for short keys, 64 for long ones.
std::string make_key(Rng& rng, KeyKind kind) {
  static const std::string letters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static const std::string rest = letters + "0123456789_";
  const std::size_t length = kind == kShortKeys ? 4 + rng.below(21) : 64;
  std::string key(length, ' ');
  key[0] = letters[rng.below(letters.size())];
  for (std::size_t i = 1; i < length; ++i) {
    key[i] = rest[rng.below(rest.size())];
  }
  return key;
}

struct KeySet {
  std::vector<std::string> stored;  // distinct, whatever the case
  std::vector<std::string> hits;    // the stored keys in the other case,
                                    // in random order
  std::vector<std::string> misses;  // keys that are not stored
};

// Built once per kind and size, before any timing.
const KeySet& key_set(KeyKind kind, std::size_t n) {
  static std::map<std::pair<int, std::size_t>, std::unique_ptr<KeySet>> cache;
  auto& slot = cache[{kind, n}];
  if (!slot) {
    slot = std::make_unique<KeySet>();
    Rng rng(kind == kShortKeys ? 11 : 23);
    std::unordered_set<std::string> seen;
    while (slot->stored.size() < n) {
      std::string key = make_key(rng, kind);
      if (seen.insert(folded(key)).second) {
        slot->stored.push_back(std::move(key));
      }
    }
    for (const std::string& key : slot->stored) {
      slot->hits.push_back(other_case(key));
    }
    rng.shuffle(slot->hits);
    while (slot->misses.size() < n) {
      std::string key = make_key(rng, kind);
      if (seen.insert(folded(key)).second) {
        slot->misses.push_back(std::move(key));
      }
    }
  }
  return *slot;
}

template <typename Map>
std::unique_ptr<Map> build(const std::vector<std::string>& keys) {
  auto map = std::make_unique<Map>();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    map->set(keys[i], value_for(i));
  }
  return map;
}

// The filled map that the lookup, walk and copy benchmarks share, one of
// each type: the last one built is kept until a benchmark asks that type for
// another kind or size.
template <typename Map>
Map& built_map(KeyKind kind, std::size_t n) {
  static std::unique_ptr<Map> map;
  static KeyKind kept_kind = kShortKeys;
  static std::size_t kept_n = 0;
  if (!map || kept_kind != kind || kept_n != n) {
    map.reset();
    map = build<Map>(key_set(kind, n).stored);
    kept_kind = kind;
    kept_n = n;
  }
  return *map;
}

// ---- The workloads.

template <typename Map>
void map_insert(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<std::string>& keys = key_set(kind, n).stored;
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

template <typename Map>
void map_lookup(benchmark::State& state, KeyKind kind, bool hit) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const KeySet& keys = key_set(kind, n);
  const std::vector<std::string>& asked = hit ? keys.hits : keys.misses;
  const Map& map = built_map<Map>(kind, n);
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
  report_ops(state, n);
}

template <typename Map>
void map_walk(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  Map& map = built_map<Map>(kind, n);
  std::string key;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.walk(key));
  }
  report_ops(state, n);
}

template <typename Map>
void map_copy(benchmark::State& state, KeyKind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Map& map = built_map<Map>(kind, n);
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

// Keys that all share one hash, hence one bucket at any size: each is a
// string of two-byte blocks "cz" and "di" (99 * 17 + 122 = 100 * 17 + 105),
// block i chosen by bit i of the key's number. Asked in upper case, in
// random order.
template <typename Map>
void map_collide(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::size_t blocks = 1;
  while ((std::size_t{1} << blocks) < n) {
    ++blocks;
  }
  std::vector<std::string> keys;
  for (std::size_t k = 0; k < n; ++k) {
    std::string key;
    for (std::size_t b = 0; b < blocks; ++b) {
      key += ((k >> b) & 1) != 0 ? "di" : "cz";
    }
    keys.push_back(key);
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

// ---- Registration: names read workload/container/keys/size. All the
// containers of one case run one after another, so that the machine's load
// is much the same for the figures that are compared.

enum Workload { kInsert, kHit, kMiss, kWalk, kCopy };

template <typename Map>
void register_case(const std::string& name, Workload workload, KeyKind kind,
                   std::int64_t n) {
  static const char* const workloads[] = {"map_insert", "map_hit", "map_miss",
                                          "map_walk", "map_copy"};
  const std::string full = std::string(workloads[workload]) + "/" + name +
                           (kind == kShortKeys ? "/short" : "/long64");
  benchmark::internal::Benchmark* b = nullptr;
  switch (workload) {
    case kInsert:
      b = benchmark::RegisterBenchmark(full.c_str(), map_insert<Map>, kind)
              ->UseManualTime();
      break;
    case kHit:
    case kMiss:
      b = benchmark::RegisterBenchmark(full.c_str(), map_lookup<Map>, kind,
                                       workload == kHit);
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
void register_pause(const std::string& name, std::int64_t n) {
  benchmark::RegisterBenchmark(("map_pause/" + name + "/short").c_str(),
                               map_pause<Map>)
      ->Arg(n)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

template <typename Map>
void register_memory(const std::string& name, std::int64_t n) {
  benchmark::RegisterBenchmark(("map_memory/" + name + "/short").c_str(),
                               map_memory<Map>)
      ->Arg(n)
      ->Iterations(1);
}

template <typename Map>
void register_collide(const std::string& name, std::int64_t n) {
  benchmark::RegisterBenchmark(("map_collide/" + name).c_str(),
                               map_collide<Map>)
      ->Arg(n);
}

void register_all() {
  for (const KeyKind kind : {kShortKeys, kLongKeys}) {
    for (const std::int64_t n : {1000, 100000, 1000000}) {
      for (const Workload w : {kInsert, kHit, kMiss, kWalk, kCopy}) {
        register_case<ZandMap>("zand", w, kind, n);
        register_case<StdUnordered<H17Hash>>("std_unordered_h17", w, kind, n);
        register_case<StdUnordered<FnvHash>>("std_unordered_fnv", w, kind, n);
        register_case<AbslFlat<H17Hash>>("absl_flat_h17", w, kind, n);
        register_case<AbslFlat<FnvHash>>("absl_flat_fnv", w, kind, n);
        register_case<StdMap>("std_map", w, kind, n);
      }
    }
  }
  for (const std::int64_t n : {1000, 1000000}) {
    register_pause<ZandMap>("zand", n);
    register_pause<StdUnordered<H17Hash>>("std_unordered_h17", n);
    register_pause<AbslFlat<H17Hash>>("absl_flat_h17", n);
  }
  // Only where the allocator counts its bytes (not under the sanitizers).
  for (const std::int64_t n : {1000, 100000}) {
    if (heap_bytes_in_use() == 0) {
      break;
    }
    register_memory<ZandMap>("zand", n);
    register_memory<StdUnordered<H17Hash>>("std_unordered_h17", n);
    register_memory<AbslFlat<H17Hash>>("absl_flat_h17", n);
    register_memory<StdMap>("std_map", n);
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
