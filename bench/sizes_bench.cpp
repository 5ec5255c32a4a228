// Containers from empty to ten million elements, per container: the time to
// construct, fill and destroy one (one at a time, and for maps also all
// alive at once), the heap it holds, and a lookup in it.
// ZAND_OBJ_MAP against std::unordered_map and absl::flat_hash_map (h x 17
// and FNV-1a hashes with the case-insensitive equality), ZAND_OBJ_LIST
// against std::list<ZAND_OBJ*>. Names read family/container/size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "containers/key_model.h"
#include "list_peers.h"
#include "map_peers.h"

namespace {

using zand_bench::AbslFlat;
using zand_bench::DistinctKeys;
using zand_bench::FnvHash;
using zand_bench::H17Hash;
using zand_bench::heap_bytes_in_use;
using zand_bench::Item;
using zand_bench::kShortKeys;
using zand_bench::make_key;
using zand_bench::report_time_per;
using zand_bench::Rng;
using zand_bench::StdList;
using zand_bench::StdUnordered;
using zand_bench::value_for;
using zand_bench::ZandList;
using zand_bench::ZandMap;
using zand_test::other_case;

constexpr std::int64_t kSizes[] = {0,  1,   2,    4,     8,       16,      32,
                                   64, 256, 1024, 16384, 1000000, 10000000};

// One measurement covers this many containers of n elements: enough that
// about 200 000 elements (and at most 100 000 containers) are averaged
// over, since one small container is too quick to time on its own and too
// small to read from the allocator's count. The tests' quick pass lowers
// the 200 000 with --sizes_elements=N.
std::size_t& elements_per_measurement() {
  static std::size_t elements = 200000;
  return elements;
}

std::size_t containers_for(std::size_t n) {
  constexpr std::size_t kMostContainers = 100000;
  return std::clamp<std::size_t>(
      elements_per_measurement() / std::max<std::size_t>(n, 1), 1,
      kMostContainers);
}

// ---- Inputs, made before any timing; only the last size asked for is kept.

// Container j of the maps of size n stores the keys stored[j * n] to
// stored[j * n + n - 1], the i-th with value_for(i). It is asked hits[j * n]
// to hits[j * n + n - 1], the same keys in the other letter case in random
// order, and misses[j * m] to misses[j * m + m - 1], m = max(n, 1), keys
// that no container stores. No two keys are equal whatever their case, so
// every container has keys of its own: the loop does not build the same
// map from the same keys over and over, whose hashes, comparisons and
// allocation sizes the machine would learn.
struct MapInput {
  std::size_t n = 0;
  std::size_t containers = 0;
  std::size_t hits_per_container = 0;
  std::size_t misses_per_container = 0;
  std::vector<std::string> stored;
  std::vector<std::string> hits;
  std::vector<std::string> misses;

  static const MapInput& of_size(std::size_t n) {
    static std::unique_ptr<MapInput> kept;
    if (!kept || kept->n != n) {
      kept.reset();
      kept = std::make_unique<MapInput>(n);
    }
    return *kept;
  }

  explicit MapInput(std::size_t size)
      : n(size),
        containers(containers_for(size)),
        hits_per_container(size),
        misses_per_container(std::max<std::size_t>(size, 1)) {
    Rng rng(11);
    DistinctKeys distinct;
    const auto fresh_key = [&] {
      for (;;) {
        std::string key = make_key(rng, kShortKeys);
        if (distinct.admit(key)) {
          return key;
        }
      }
    };
    for (std::size_t i = 0; i < containers * n; ++i) {
      stored.push_back(fresh_key());
    }
    for (std::size_t i = 0; i < containers * misses_per_container; ++i) {
      misses.push_back(fresh_key());
    }
    for (std::size_t j = 0; j < containers; ++j) {
      std::vector<std::string> asked;
      for (std::size_t i = 0; i < n; ++i) {
        asked.push_back(other_case(stored[j * n + i]));
      }
      rng.shuffle(asked);
      std::move(asked.begin(), asked.end(), std::back_inserter(hits));
    }
  }

  template <typename Map>
  void fill(Map& map, std::size_t j) const {
    const std::string* keys = stored.data() + j * n;
    for (std::size_t i = 0; i < n; ++i) {
      map.set(keys[i], value_for(i));
    }
  }

  template <typename Map>
  static bool found(const Map& map, const std::string& key) {
    return map.find(key) != nullptr;
  }
};

// Every list of size n holds elements[0] to elements[n - 1] in that order,
// pointers to distinct objects (a list compares its pointers and never
// reads an object, so the lists may share them). List j is asked k
// pointers it holds, at random positions (hits[j * k] on), and k times a
// pointer no list holds (misses). Every lookup scans the list, so k is 16
// (at most n) up to 65 536 elements and shrinks above, down to 1 at a
// million, which keeps a measurement of long lists short.
struct ListInput {
  std::size_t n = 0;
  std::size_t containers = 0;
  std::size_t hits_per_container = 0;
  std::size_t misses_per_container = 0;
  std::vector<Item> items;
  Item absent;
  std::vector<ZAND_OBJ*> elements;
  std::vector<ZAND_OBJ*> hits;
  std::vector<ZAND_OBJ*> misses;

  static const ListInput& of_size(std::size_t n) {
    static std::unique_ptr<ListInput> kept;
    if (!kept || kept->n != n) {
      kept.reset();
      kept = std::make_unique<ListInput>(n);
    }
    return *kept;
  }

  explicit ListInput(std::size_t size)
      : n(size),
        containers(containers_for(size)),
        hits_per_container(std::min(size, lookups_for(size))),
        misses_per_container(lookups_for(size)),
        items(size) {
    for (Item& item : items) {
      elements.push_back(&item);
    }
    Rng rng(13);
    for (std::size_t i = 0; i < containers * hits_per_container; ++i) {
      hits.push_back(elements[rng.below(n)]);
    }
    misses.assign(containers * misses_per_container, &absent);
  }
  ListInput(const ListInput&) = delete;
  ListInput& operator=(const ListInput&) = delete;

  static std::size_t lookups_for(std::size_t size) {
    return std::clamp<std::size_t>(
        (std::size_t{1} << 20) / std::max<std::size_t>(size, 1), 1, 16);
  }

  template <typename List>
  void fill(List& list, std::size_t /*j*/) const {
    for (std::size_t i = 0; i < n; ++i) {
      list.add_at_tail(elements[i]);
    }
  }

  template <typename List>
  static bool found(const List& list, ZAND_OBJ* obj) {
    return list.contains(obj);
  }
};

// Containers constructed in place in one array allocated beforehand, so
// that the heap they hold can be told from their own size.
template <typename Container>
class Fleet {
 public:
  explicit Fleet(std::size_t count) : m_slots(count) {}
  ~Fleet() { clear(); }
  Fleet(const Fleet&) = delete;
  Fleet& operator=(const Fleet&) = delete;

  Container& emplace() {
    new (m_slots[m_built].bytes) Container();
    return at(m_built++);
  }
  // Destroys the containers, keeping the slots for new ones.
  void clear() {
    for (; m_built > 0; --m_built) {
      at(m_built - 1).~Container();
    }
  }
  Container& at(std::size_t i) {
    return *std::launder(reinterpret_cast<Container*>(m_slots[i].bytes));
  }

 private:
  struct Slot {
    alignas(Container) unsigned char bytes[sizeof(Container)];
  };
  std::vector<Slot> m_slots;
  std::size_t m_built = 0;
};

template <typename Container, typename Input>
void fill_fleet(Fleet<Container>& fleet, const Input& input) {
  for (std::size_t j = 0; j < input.containers; ++j) {
    input.fill(fleet.emplace(), j);
  }
}

// ---- The workloads.

// Each container in turn is constructed, filled and destroyed, one at a
// time, as a function's local container would be.
template <typename Container, typename Input>
void sizes_build(benchmark::State& state) {
  const Input& input = Input::of_size(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    for (std::size_t j = 0; j < input.containers; ++j) {
      Container container;
      input.fill(container, j);
      benchmark::DoNotOptimize(container.size());
    }
  }
  report_time_per(state, "ns_per_container", input.containers);
  state.counters["containers"] = static_cast<double>(input.containers);
}

// All the containers constructed and filled, kept alive together, then all
// destroyed, as a program holding many small maps would: the time of the
// whole, per container. One at a time, each container reuses the memory
// the one before freed, warm in the caches; alive together, they take fresh
// memory each and spill out of the caches.
template <typename Container, typename Input>
void sizes_build_alive(benchmark::State& state) {
  const Input& input = Input::of_size(static_cast<std::size_t>(state.range(0)));
  Fleet<Container> fleet(input.containers);
  for (auto _ : state) {
    fill_fleet(fleet, input);
    benchmark::DoNotOptimize(fleet.at(input.containers - 1).size());
    fleet.clear();
  }
  report_time_per(state, "ns_per_container", input.containers);
  state.counters["containers"] = static_cast<double>(input.containers);
}

// The heap bytes in use while all the containers are alive, per container;
// glibc's count includes its own overhead per allocation.
template <typename Container, typename Input>
void sizes_bytes(benchmark::State& state) {
  const Input& input = Input::of_size(static_cast<std::size_t>(state.range(0)));
  double per_container = 0;
  for (auto _ : state) {
    Fleet<Container> fleet(input.containers);
    const std::size_t before = heap_bytes_in_use();
    fill_fleet(fleet, input);
    const std::size_t after = heap_bytes_in_use();
    per_container = (static_cast<double>(after) - static_cast<double>(before)) /
                    static_cast<double>(input.containers);
    for (std::size_t j = 0; j < input.containers; ++j) {
      if (fleet.at(j).size() != input.n) {
        state.SkipWithError("a container holds the wrong count");
        return;
      }
    }
  }
  state.counters["heap_bytes_per_container"] = per_container;
  state.counters["object_bytes"] = static_cast<double>(sizeof(Container));
  state.counters["containers"] = static_cast<double>(input.containers);
}

// Lookups in every container in turn, all of them alive; the answers are
// checked once before timing.
template <typename Container, typename Input>
void sizes_lookup(benchmark::State& state, bool hit) {
  const Input& input = Input::of_size(static_cast<std::size_t>(state.range(0)));
  const auto& asks = hit ? input.hits : input.misses;
  const std::size_t per_container =
      hit ? input.hits_per_container : input.misses_per_container;
  Fleet<Container> fleet(input.containers);
  fill_fleet(fleet, input);
  for (std::size_t i = 0; i < asks.size(); ++i) {
    if (Input::found(fleet.at(i / per_container), asks[i]) != hit) {
      state.SkipWithError("a lookup gave the wrong answer");
      return;
    }
  }
  for (auto _ : state) {
    std::size_t found = 0;
    for (std::size_t j = 0; j < input.containers; ++j) {
      const Container& container = fleet.at(j);
      const auto* ask = asks.data() + j * per_container;
      for (std::size_t k = 0; k < per_container; ++k) {
        found += static_cast<std::size_t>(Input::found(container, ask[k]));
      }
    }
    benchmark::DoNotOptimize(found);
  }
  report_time_per(state, "ns_per_lookup", asks.size());
  state.counters["containers"] = static_cast<double>(input.containers);
  state.counters["lookups_per_container"] = static_cast<double>(per_container);
}

// ---- Registration: names read sizes_<map|list>_<workload>/container/size.
// Size by size (the inputs of one size are made once), and all the
// containers of one case one after another, so that the machine's load is
// much the same for the figures that are compared.

enum Workload { kBuild, kBuildAlive, kBytes, kHit, kMiss };

// Past this size a measurement holds a dozen maps or fewer, which alive
// together cost what they cost one at a time.
constexpr std::int64_t kMostAlive = 16384;

// Past this size only the chart's peer keeps the library company among the
// maps (the map program times the others there): each case builds a map
// that takes seconds.
constexpr std::int64_t kMostForEveryPeer = 1000000;

template <typename Container, typename Input>
void register_case(const std::string& kind, const std::string& name,
                   Workload workload, std::int64_t n) {
  static const char* const workloads[] = {"_build/", "_build_alive/", "_bytes/",
                                          "_hit/", "_miss/"};
  const std::string full = "sizes_" + kind + workloads[workload] + name;
  switch (workload) {
    case kBuild:
      benchmark::RegisterBenchmark(full.c_str(), sizes_build<Container, Input>)
          ->Arg(n);
      break;
    case kBuildAlive:
      benchmark::RegisterBenchmark(full.c_str(),
                                   sizes_build_alive<Container, Input>)
          ->Arg(n);
      break;
    case kBytes:
      benchmark::RegisterBenchmark(full.c_str(), sizes_bytes<Container, Input>)
          ->Arg(n)
          ->Iterations(1);
      break;
    case kHit:
    case kMiss:
      benchmark::RegisterBenchmark(full.c_str(), sizes_lookup<Container, Input>,
                                   workload == kHit)
          ->Arg(n);
      break;
  }
}

void register_all() {
  // The bytes only where the allocator counts them (not under the
  // sanitizers); no hits in an empty container.
  const bool counts_bytes = zand_bench::heap_is_counted();
  for (const std::int64_t n : kSizes) {
    for (const Workload w : {kBuild, kBuildAlive, kBytes, kHit, kMiss}) {
      if ((w == kBuildAlive && n > kMostAlive) ||
          (w == kBytes && !counts_bytes) || (w == kHit && n == 0)) {
        continue;
      }
      register_case<ZandMap, MapInput>("map", "zand", w, n);
      register_case<StdUnordered<H17Hash>, MapInput>("map", "std_unordered_h17",
                                                     w, n);
      if (n > kMostForEveryPeer) {
        continue;
      }
      register_case<StdUnordered<FnvHash>, MapInput>("map", "std_unordered_fnv",
                                                     w, n);
      register_case<AbslFlat<H17Hash>, MapInput>("map", "absl_flat_h17", w, n);
      register_case<AbslFlat<FnvHash>, MapInput>("map", "absl_flat_fnv", w, n);
    }
    for (const Workload w : {kBuild, kBytes, kHit, kMiss}) {
      if ((w == kBytes && !counts_bytes) || (w == kHit && n == 0)) {
        continue;
      }
      register_case<ZandList, ListInput>("list", "zand", w, n);
      register_case<StdList, ListInput>("list", "std_list", w, n);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Takes --sizes_elements=N out of the arguments the benchmark library
  // reads.
  const std::string option = "--sizes_elements=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.compare(0, option.size(), option) == 0) {
      elements_per_measurement() = std::max<std::size_t>(
          1, std::strtoull(argument.c_str() + option.size(), nullptr, 10));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  register_all();
  return zand_bench::run_registered(argc, argv);
}
