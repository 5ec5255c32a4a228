// The program the debugger tests stop in, at zand_views_stop(): it fills
// lists and maps and holds streams, and first writes what GDB and LLDB must
// show of each, taken from the objects' own walks and streams, into
// DIR/gdb.expected and DIR/lldb.expected (usage: zand_stl_views_program
// DIR).
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "containers/key_model.h"
#include "zand_stl/zand_stl.h"

namespace {

class Item : public ZAND_OBJ {};

// The printers show at most this many elements of a container.
constexpr int kShown = 10000;

// What the printers show of one object, as the program knows it.
struct View {
  View(std::string type_name, std::string text)
      : type(std::move(type_name)), summary(std::move(text)) {}

  std::string type;
  std::string summary;
  // A map's keys, quoted and escaped; none for a list.
  std::vector<std::string> keys;
  std::vector<const ZAND_OBJ*> values;
  // Set when elements past kShown are left unshown.
  bool cut = false;
  // What a walk that stops early on broken links says; empty when sound.
  std::string fault;
};

// A pointer as GDB shows it, or as LLDB does: sixteen digits, null as
// nullptr.
std::string gdb_pointer(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%" PRIxPTR,
                reinterpret_cast<std::uintptr_t>(pointer));
  return text;
}

std::string lldb_pointer(const void* pointer) {
  if (!pointer) return "nullptr";
  char text[32];
  std::snprintf(text, sizeof text, "0x%016" PRIxPTR,
                reinterpret_cast<std::uintptr_t>(pointer));
  return text;
}

// What a walk that stopped early says after the summary: how many children
// are shown, or what broke it off.
std::string notes(const View& view) {
  std::string text;
  if (view.cut) text += ", showing the first " + std::to_string(kShown);
  if (!view.fault.empty()) text += ", " + view.fault;
  return text;
}

// GDB, as `output NAME`: the summary, then the children in braces. A list's
// last child tells of a cut or a fault; a map's children are all key and
// value, so its summary does.
std::string gdb_text(const View& view) {
  const bool map = view.type == "ZAND_OBJ_MAP";
  std::vector<std::string> children;
  for (std::size_t i = 0; i < view.values.size(); ++i) {
    const std::string value = gdb_pointer(view.values[i]);
    children.push_back(map ? "[" + view.keys[i] + "] = " + value : value);
  }
  if (view.cut && !map) children.push_back("...");
  if (!view.fault.empty() && !map) children.push_back(view.fault);
  std::string text = view.summary + (map ? notes(view) : "");
  for (std::size_t i = 0; i < children.size(); ++i) {
    text += (i ? ", " : " = {") + children[i];
  }
  return children.empty() ? text : text + "}";
}

// LLDB, as `frame variable NAME`: a cut or a fault ends the summary, and
// each child has a line of its own.
std::string lldb_text(const std::string& name, const View& view) {
  std::string text =
      "(" + view.type + ") " + name + " = " + view.summary + notes(view);
  if (view.values.empty()) return text;
  text += " {\n";
  for (std::size_t i = 0; i < view.values.size(); ++i) {
    text += "  [" + (view.keys.empty() ? std::to_string(i) : view.keys[i]) +
            "] = " + lldb_pointer(view.values[i]) + "\n";
  }
  return text + "}";
}

// Walks the whole list for its elements, then leaves its cursor on element
// `cursor` (at the end when that is the size).
View walk_list(ZAND_OBJ_LIST& list, int cursor) {
  View view{"ZAND_OBJ_LIST", "ZAND_OBJ_LIST of size " +
                                 std::to_string(list.size()) + ", cursor "};
  list.reset_head_position();
  for (int i = 0; i < list.size(); ++i) {
    view.values.push_back(list.get_next_value());
  }
  list.reset_head_position();
  for (int i = 0; i < cursor; ++i) list.get_next_value();
  view.summary +=
      cursor == list.size() ? "at end" : "at " + std::to_string(cursor);
  if (list.size() > kShown) {
    view.values.resize(static_cast<std::size_t>(kShown));
    view.cut = true;
  }
  return view;
}

// The list after the debugger links its third node back to its first: the
// walk goes round the first three elements until the size is reached, and
// the cursor, on a later element, is nowhere on it.
View cycled(View view) {
  for (std::size_t i = 3; i < view.values.size(); ++i) {
    view.values[i] = view.values[i % 3];
  }
  view.summary = view.summary.substr(0, view.summary.find("cursor")) +
                 "cursor not found in the list";
  view.fault = "<corrupt list: the links go on past its " +
               std::to_string(view.values.size()) + " elements>";
  return view;
}

// The list after the debugger points its second node's link at address 8:
// two elements are shown, and the cursor, further on, cannot be reached.
View broken(View view) {
  view.values.resize(2);
  view.summary = view.summary.substr(0, view.summary.find("cursor")) +
                 "cursor not found: a link is unreadable";
  view.fault = "<unreadable list: cannot read the link at 0x8>";
  return view;
}

// A stream adopted from fopen, whose descriptor and directions glibc's
// FILE shows.
View stream_view(std::FILE* stream, const char* directions) {
  if (!stream) return {"ZAND_FILE", "ZAND_FILE holding no stream"};
  return {"ZAND_FILE", "ZAND_FILE " + gdb_pointer(stream) + ", open for " +
                           directions + ", fd " +
                           std::to_string(fileno(stream))};
}

// A map's key as its printers show it, in double quotes: printable ASCII as
// it is but the backslash and the double quote, every other byte as \xHH,
// and a key past 200 bytes cut there with its length given.
std::string quoted_key(const std::string& key) {
  std::string text = "\"";
  for (std::size_t i = 0; i < key.size() && i < 200; ++i) {
    const unsigned char byte = static_cast<unsigned char>(key[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
      text += static_cast<char>(byte);
    } else {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02x", byte);
      text += code;
    }
  }
  if (key.size() > 200) {
    text += "\xE2\x80\xA6 (" + std::to_string(key.size()) + " bytes)";
  }
  return text + "\"";
}

// The map's walk in its own order, size() steps since a null value cannot
// be told from the end, leaving the cursor after `cursor` entries.
View walk_map(ZAND_OBJ_MAP& map, int cursor) {
  View view{"ZAND_OBJ_MAP",
            "ZAND_OBJ_MAP of size " + std::to_string(map.size()) + ", cursor "};
  map.reset_iterator();
  std::string key;
  for (int i = 0; i < map.size(); ++i) {
    view.values.push_back(map.get_next_entry(key));
    view.keys.push_back(quoted_key(key));
  }
  map.reset_iterator();
  for (int i = 0; i < cursor; ++i) map.get_next_entry(key);
  view.summary +=
      cursor == map.size() ? "at end" : "at " + std::to_string(cursor);
  if (map.size() > kShown) {
    view.values.resize(static_cast<std::size_t>(kShown));
    view.keys.resize(static_cast<std::size_t>(kShown));
    view.cut = true;
  }
  return view;
}

// Keys that all share one hash, and so one bucket: at two buckets, the
// head leaf holds the first six of seven and a second leaf the last.
void fill_one_bucket(ZAND_OBJ_MAP& map, std::size_t count,
                     std::vector<Item>& items) {
  for (std::size_t i = 0; i < count; ++i) {
    map.set_at(zand_test::one_bucket_key(i, 8), &items[i]);
  }
}

// The map whose head leaf the debugger links to itself: the walk goes round
// its six entries until the entry count, and finds more past it.
View looped(View view) {
  view.values[6] = view.values[0];
  view.keys[6] = view.keys[0];
  view.fault = "<corrupt map: the buckets hold more than its " +
               std::to_string(view.values.size()) + " entries>";
  return view;
}

// A map's summary when its walk breaks off before reaching the cursor.
void lose_cursor(View& view) {
  view.summary =
      view.summary.substr(0, view.summary.find("cursor")) + "cursor not found";
}

// The map whose head leaf's link the debugger points at address 8: the
// head's six entries are shown, and the cursor, further on, is not found.
View unlinked(View view) {
  view.values.resize(6);
  view.keys.resize(6);
  lose_cursor(view);
  view.fault = "<unreadable map: cannot read 0x8>";
  return view;
}

// The map whose bucket 0 the debugger empties and links to itself: a leaf
// with no entries that is not its bucket's last, which stops the walk there.
View stuck(View view) {
  view.values.clear();
  view.keys.clear();
  lose_cursor(view);
  view.fault =
      "<corrupt map: a leaf of bucket 0 holds 0 of 6 entries, yet another "
      "follows>";
  return view;
}

}  // namespace

// The debugger tests break here, then look at main's objects.
extern "C" __attribute__((noinline)) void zand_views_stop() {
  __asm__ volatile("");
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Item> items(static_cast<std::size_t>(kShown) + 1);

  // A null element and a repeated one are stored like any other.
  ZAND_OBJ_LIST list;
  for (Item* item : {&items[0], static_cast<Item*>(nullptr), &items[1],
                     &items[1], &items[2]}) {
    list.add_at_tail(item);
  }
  ZAND_OBJ_LIST empty_list;
  // Exactly as many elements as are shown, and one more.
  ZAND_OBJ_LIST limit_list, long_list, cyclic_list, broken_list;
  for (Item& item : items) {
    if (&item != &items.back()) limit_list.add_at_tail(&item);
    long_list.add_at_tail(&item);
  }
  for (std::size_t i = 0; i < 5; ++i) {
    cyclic_list.add_at_tail(&items[i]);
    broken_list.add_at_tail(&items[i]);
  }

  std::FILE* reading = std::fopen(argv[0], "rb");
  std::FILE* writing = std::fopen((dir + "/written").c_str(), "w");
  std::FILE* both = std::fopen((dir + "/appended").c_str(), "a+");
  if (!reading || !writing || !both) {
    std::perror("fopen");
    return 1;
  }
  ZAND_FILE reader(reading), writer(writing), updater(both), no_file;

  // Keys of both letter cases (one stored again in another case, keeping
  // its first form), of every byte value, with a zero byte inside, of a
  // length just under, at and over the cut at 200 bytes and of 100 KiB, a
  // null value; a few hundred keys for buckets past the heads' array, and
  // 48 keys of one hash, a bucket long enough for an index.
  ZAND_OBJ_MAP map;
  std::string every_byte;
  for (int byte = 255; byte >= 0; --byte) every_byte += static_cast<char>(byte);
  map.set_at("Harbour", &items[0]);
  map.set_at("HARBOUR", &items[1]);
  map.set_at("quay", &items[2]);
  map.set_at("quote\"back\\slash", nullptr);
  map.set_at(every_byte, &items[3]);
  map.set_at(std::string("nul\0inside", 10), &items[4]);
  map.set_at(std::string(std::size_t{100} << 10, 'L'), &items[5]);
  for (std::size_t length = 199; length <= 201; ++length) {
    map.set_at(std::string(length, 'k'), &items[length]);
  }
  for (std::size_t i = 0; i < 300; ++i) {
    map.set_at("word " + std::to_string(i), &items[1000 + i]);
  }
  for (std::size_t i = 0; i < 48; ++i) {
    map.set_at(zand_test::one_bucket_key(i, 8), &items[2000 + i]);
  }
  // Before its first insertion; after remove_all; of one bucket, in the
  // slot table itself; of exactly as many entries as are shown, and one
  // more.
  ZAND_OBJ_MAP empty_map, cleared_map, small_map, limit_map, long_map;
  for (std::size_t i = 0; i < 100; ++i) {
    cleared_map.set_at(std::to_string(i), &items[i]);
  }
  cleared_map.remove_all();
  for (const char* key : {"b", "A", "c"}) small_map.set_at(key, &items[0]);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i + 1 < items.size()) limit_map.set_at(std::to_string(i), &items[i]);
    long_map.set_at(std::to_string(i), &items[i]);
  }
  // Seven keys of one bucket each, which check_views.sh breaks.
  ZAND_OBJ_MAP looped_map, unlinked_map, stuck_map;
  fill_one_bucket(looped_map, 7, items);
  fill_one_bucket(unlinked_map, 7, items);
  fill_one_bucket(stuck_map, 7, items);

  const std::vector<std::pair<std::string, View>> views = {
      {"list", walk_list(list, 2)},
      {"empty_list", walk_list(empty_list, 0)},
      {"limit_list", walk_list(limit_list, kShown - 1)},
      {"long_list", walk_list(long_list, kShown)},
      {"cyclic_list", cycled(walk_list(cyclic_list, 3))},
      {"broken_list", broken(walk_list(broken_list, 3))},
      {"reader", stream_view(reading, "reading")},
      {"writer", stream_view(writing, "writing")},
      {"updater", stream_view(both, "reading and writing")},
      {"no_file", stream_view(nullptr, "")},
      {"map", walk_map(map, 100)},
      {"empty_map", walk_map(empty_map, 0)},
      {"cleared_map", walk_map(cleared_map, 0)},
      {"small_map", walk_map(small_map, 3)},
      {"limit_map", walk_map(limit_map, kShown - 1)},
      {"long_map", walk_map(long_map, kShown)},
      {"looped_map", looped(walk_map(looped_map, 3))},
      {"unlinked_map", unlinked(walk_map(unlinked_map, 6))},
      {"stuck_map", stuck(walk_map(stuck_map, 2))},
  };
  std::ofstream gdb(dir + "/gdb.expected"), lldb(dir + "/lldb.expected");
  for (const auto& [name, view] : views) {
    gdb << "==== " << name << "\n" << gdb_text(view) << "\n";
    lldb << "==== " << name << "\n" << lldb_text(name, view) << "\n";
  }
  gdb.close();
  lldb.close();
  if (!gdb || !lldb) return 1;

  zand_views_stop();
  return 0;
}
