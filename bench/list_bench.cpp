// ZAND_OBJ_LIST against std::list<ZAND_OBJ*>: adding at the tail and
// removing from the head, a walk with the cursor, and item_existed of a
// pointer that is not there (a full scan).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "list_peers.h"

namespace {

using zand_bench::report_ops;
using zand_bench::StdList;
using zand_bench::ZandList;

class Item : public ZAND_OBJ {};

// The objects whose pointers the lists hold, one per element.
std::vector<Item>& items(std::size_t n) {
  static std::vector<Item> all;
  if (all.size() < n) {
    all = std::vector<Item>(n);
  }
  return all;
}

// The lists that the walk and item_existed measure. Both are filled in one
// loop, a node of one after a node of the other, so that their nodes lie in
// memory in the same pattern; they are built once per size and kept, before
// the additions and removals have churned the heap.
struct FilledLists {
  ZandList zand;
  StdList std_list;

  explicit FilledLists(std::size_t n) {
    std::vector<Item>& objs = items(n);
    for (std::size_t i = 0; i < n; ++i) {
      zand.add_at_tail(&objs[i]);
      std_list.add_at_tail(&objs[i]);
    }
  }
};

FilledLists& filled_lists(std::size_t n) {
  static std::map<std::size_t, std::unique_ptr<FilledLists>> kept;
  auto& lists = kept[n];
  if (!lists) {
    lists = std::make_unique<FilledLists>(n);
  }
  return *lists;
}

template <typename List>
List& pick(FilledLists& lists);
template <>
ZandList& pick<ZandList>(FilledLists& lists) {
  return lists.zand;
}
template <>
StdList& pick<StdList>(FilledLists& lists) {
  return lists.std_list;
}

// n additions at the tail, then n removals from the head; one operation is
// one element added and removed.
template <typename List>
void list_add_remove(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<Item>& objs = items(n);
  List list;
  for (auto _ : state) {
    for (std::size_t i = 0; i < n; ++i) {
      list.add_at_tail(&objs[i]);
    }
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      sum += reinterpret_cast<std::uintptr_t>(list.remove_from_head());
    }
    benchmark::DoNotOptimize(sum);
  }
  report_ops(state, n);
}

template <typename List>
void list_walk(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  List& list = pick<List>(filled_lists(n));
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.walk());
  }
  report_ops(state, n);
}

// One operation is one element compared.
template <typename List>
void list_item_existed(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const List& list = pick<List>(filled_lists(n));
  Item absent;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.contains(&absent));
  }
  report_ops(state, n);
}

// The walks and scans first, on a heap that nothing has churned yet.
void register_all() {
  const std::int64_t sizes[] = {1000, 100000, 1000000};
  for (const std::int64_t n : sizes) {
    benchmark::RegisterBenchmark("list_walk/zand", list_walk<ZandList>)->Arg(n);
    benchmark::RegisterBenchmark("list_walk/std_list", list_walk<StdList>)
        ->Arg(n);
    benchmark::RegisterBenchmark("list_item_existed/zand",
                                 list_item_existed<ZandList>)
        ->Arg(n);
    benchmark::RegisterBenchmark("list_item_existed/std_list",
                                 list_item_existed<StdList>)
        ->Arg(n);
  }
  for (const std::int64_t n : sizes) {
    benchmark::RegisterBenchmark("list_add_remove/zand",
                                 list_add_remove<ZandList>)
        ->Arg(n);
    benchmark::RegisterBenchmark("list_add_remove/std_list",
                                 list_add_remove<StdList>)
        ->Arg(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  return zand_bench::run_registered(argc, argv);
}
