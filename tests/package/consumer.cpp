// A user's program built against an installed (or embedded) zand_stl: it
// touches every family of the interface, a data constant's address included.
#include <zand_stl/zand_stl.h>

#include <cstdio>

namespace {

class Item : public ZAND_OBJ {};

}  // namespace

int main() {
  Item item;
  ZAND_OBJ_MAP map;
  map.set_at("Key", &item);
  ZAND_OBJ_LIST list;
  list.add_at_tail(map.look_up("KEY"));
  ZAND_FILE file;
  const unsigned int* flag = &ZAND_FILE::OPEN_READ_ONLY;
  const bool ok = dynamic_cast<Item*>(list.get_head()) == &item &&
                  to_upper_case(trim_left("  abc")) == "ABC" &&
                  !file.open_file("", *flag);
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
