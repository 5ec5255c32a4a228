# LLDB views of zand_stl's classes: synthetic children and summaries, read
# through the debug information (the map, where it lacks that, through a
# table of its layout); nothing runs in the program. Load them with
# `command script import <path>/zand_stl_lldb.py`.

import itertools

import lldb

# A list, or a map, shows at most this many elements.
CHILD_LIMIT = 10000
# At most this many links (a map's entries) are followed to place the
# cursor, so that a corrupt or cyclic list costs a bounded time.
LINK_LIMIT = 100000

# glibc stamps this into the high half of a live FILE's _flags; its
# _IO_NO_READS and _IO_NO_WRITES bits tell the directions it is open for.
GLIBC_FILE_MAGIC = 0xFBAD0000
GLIBC_NO_READS = 0x4
GLIBC_NO_WRITES = 0x8


def complete(value):
    """The value with its class's full layout, from the debug information of
    the modules. g++ describes a class with virtual functions only where its
    virtual table is, in the library, so a program's own variables may carry
    a bare declaration, and LLDB's expression results a layout of their own
    without the standard library's members."""
    value = value.GetNonSyntheticValue()
    address = value.GetLoadAddress()
    if address == lldb.LLDB_INVALID_ADDRESS:
        return value
    name = value.GetType().GetUnqualifiedType().GetName()
    for full in value.GetTarget().FindTypes(name):
        if full.GetNumberOfFields():
            return value.CreateValueFromAddress(
                value.GetName(), address, full).GetNonSyntheticValue()
    return value


class Chain:
    """The links of a libstdc++ std::list, as the debug information lays
    them out: a header node (the end position, holding the size) whose
    _M_next is the first element's node; each element lies in its node's
    _M_storage."""

    def __init__(self, chain):
        header = chain.GetNonSyntheticValue().GetValueForExpressionPath(
            "._M_impl._M_node")
        if not header.IsValid() or header.GetLoadAddress() == lldb.LLDB_INVALID_ADDRESS:
            raise LookupError("no std::list layout in the debug information")
        self.process = chain.GetProcess()
        self.target = chain.GetTarget()
        self.end = header.GetLoadAddress()
        link = header.GetChildMemberWithName("_M_next")
        self.first = link.GetValueAsUnsigned()
        # Where _M_next lies in a node.
        self.link_offset = link.GetLoadAddress() - self.end
        size = header.GetChildMemberWithName("_M_size")
        self.size = size.GetValueAsUnsigned() if size.IsValid() else None
        self.element_type = chain.GetType().GetTemplateArgumentType(0)
        self.offset = None
        # LLDB finds the node type by its name in the list (std::list's
        # _Node), not by its own.
        node_name = "std::_List_node<%s>" % self.element_type.GetName()
        for node in self.target.FindTypes("_Node"):
            node = node.GetCanonicalType()
            if node.GetName() == node_name:
                for i in range(node.GetNumberOfFields()):
                    if node.GetFieldAtIndex(i).GetName() == "_M_storage":
                        self.offset = node.GetFieldAtIndex(i).GetOffsetInBytes()
        if self.offset is None:
            # A program that never made a node has no node type in its debug
            # information: the element (a pointer, aligned to its size) then
            # follows the node's two links.
            size = link.GetType().GetPointeeType().GetByteSize()
            align = self.element_type.GetByteSize()
            self.offset = -(-size // align) * align

    def next_of(self, address):
        """The link that leaves the node at address; LookupError when it
        cannot be read."""
        error = lldb.SBError()
        following = self.process.ReadPointerFromMemory(
            address + self.link_offset, error)
        if error.Fail():
            raise LookupError("cannot read the link at 0x%x" % address)
        return following

    def nodes(self, limit):
        """The element nodes' addresses from head to tail, at most limit of
        them, each yielded once its own link has been read."""
        node = self.first
        for _ in range(limit):
            if node == self.end:
                return
            following = self.next_of(node)
            yield node
            node = following


# The walk below (survey, cursor_place) and its texts are those of
# zand_stl_gdb.py: change both together.
def survey(chain):
    """The first CHILD_LIMIT element nodes, and the text that ends their walk:
    None for a sound end at the size recorded in the header, or what is wrong
    with the links, or how many elements are shown when some are not."""
    limit = CHILD_LIMIT if chain.size is None else min(chain.size, CHILD_LIMIT)
    nodes = []
    try:
        nodes.extend(chain.nodes(limit))
        following = chain.next_of(nodes[-1]) if nodes else chain.end
    except LookupError as error:
        return nodes, "<unreadable list: %s>" % error
    count = len(nodes)
    if following == chain.end:
        if chain.size is None or count == chain.size:
            return nodes, None
        return nodes, "<corrupt list: the links end after %d of %d elements>" % (
            count, chain.size)
    if count == chain.size:
        return nodes, "<corrupt list: the links go on past its %d elements>" % count
    return nodes, "showing the first %d" % count


def cursor_place(chain, cursor):
    """Where the cursor stands: "at end", "at <index>", or why it was not
    found among the first LINK_LIMIT links."""
    if cursor == chain.end:
        return "at end"
    limit = LINK_LIMIT if chain.size is None else min(chain.size, LINK_LIMIT)
    index = -1
    try:
        for index, address in enumerate(chain.nodes(limit)):
            if address == cursor:
                return "at %d" % index
    except LookupError:
        return "not found: a link is unreadable"
    if index + 1 == LINK_LIMIT:
        return "not found in the first %d elements" % LINK_LIMIT
    return "not found in the list"


def list_summary(value, internal_dict):
    """`ZAND_OBJ_LIST of size 3, cursor at 1`, and what ended the walk early
    when something did."""
    value = complete(value)
    try:
        chain = Chain(value.GetChildMemberWithName("m_chain"))
    except LookupError as error:
        return "ZAND_OBJ_LIST <unreadable: %s>" % error
    cursor = value.GetValueForExpressionPath(".m_cursor._M_node").GetValueAsUnsigned()
    text = "ZAND_OBJ_LIST of size %s, cursor %s" % (
        "?" if chain.size is None else chain.size, cursor_place(chain, cursor))
    problem = survey(chain)[1]
    return text + ", " + problem if problem else text


class ObjListChildren:
    """ZAND_OBJ_LIST's elements from head to tail, as [0], [1], ..."""

    def __init__(self, value, internal_dict):
        self.value = value
        self.chain = None
        self.nodes = []

    def update(self):
        try:
            self.chain = Chain(complete(self.value).GetChildMemberWithName("m_chain"))
            self.nodes = survey(self.chain)[0]
        except LookupError:
            self.chain, self.nodes = None, []
        return False

    def num_children(self):
        return len(self.nodes)

    def has_children(self):
        return True

    def get_child_index(self, name):
        try:
            return int(name.strip("[]"))
        except ValueError:
            return -1

    def get_child_at_index(self, index):
        if not 0 <= index < len(self.nodes):
            return None
        return self.value.CreateValueFromAddress(
            "[%d]" % index, self.nodes[index] + self.chain.offset,
            self.chain.element_type)


class NoChildren:
    """For a class whose summary says it all: LLDB would otherwise show the
    members when it has the layout, and none when it has only a declaration."""

    def __init__(self, value, internal_dict):
        pass

    def update(self):
        return False

    def num_children(self):
        return 0

    def has_children(self):
        return False


def file_summary(value, internal_dict):
    """ZAND_FILE: its FILE*, and from glibc's FILE whether the stream is open,
    for what, and its descriptor."""
    stream = complete(value).GetChildMemberWithName("m_file")
    if not stream.IsValid():
        return "ZAND_FILE <unreadable: no layout in the debug information>"
    address = stream.GetValueAsUnsigned()
    if address == 0:
        return "ZAND_FILE holding no stream"
    return "ZAND_FILE 0x%x%s" % (address, glibc_state(stream.Dereference()))


def glibc_state(record):
    """", open for reading, fd 3" and the like from glibc's FILE; "" when the
    runtime's FILE has no such fields (or its layout is unknown)."""
    flags = record.GetChildMemberWithName("_flags")
    descriptor = record.GetChildMemberWithName("_fileno")
    if not flags.IsValid() or not descriptor.IsValid():
        return ""
    error = lldb.SBError()
    bits = flags.GetData().GetUnsignedInt32(error, 0)
    if error.Fail():
        return ", unreadable"
    if bits & 0xFFFF0000 != GLIBC_FILE_MAGIC:
        return ", not an open stream (flags 0x%x)" % bits
    ways = [way for way, bit in (("reading", GLIBC_NO_READS),
                                 ("writing", GLIBC_NO_WRITES))
            if not bits & bit]
    return ", open for %s, fd %d" % (" and ".join(ways) or "nothing",
                                     descriptor.GetValueAsSigned())


# ---- The map's walk: the same text in zand_stl_gdb.py and zand_stl_lldb.py
# (the views' test compares them), over each debugger's Memory and types.


class MapFault(Exception):
    """What stops a map's walk early, as "corrupt map: ..." or "unreadable
    map: ..."."""


# At most this many bucket heads and leaves are read in one walk: more than
# a sound map needs for LINK_LIMIT entries (it has at most a quarter as
# many buckets, plus one, and every leaf but a bucket's last holds an
# entry), so that a wild bucket count costs a bounded time.
VISIT_LIMIT = 200000
# Bytes of a key shown; a longer key is cut there, its length following.
KEY_LIMIT = 200
# The algorithm's constants, pinned by src/frame/class_sizes.cpp: up to
# ARRAY_BUCKETS buckets, the heads lie in one array; beyond, in segments.
ARRAY_BUCKETS = 64
LEAF_CHAIN = 0
LEAF_INDEXED = 1
# The library builds for 64-bit targets only: counts, sizes and pointers
# are all of this many bytes.
WORD = 8

# Where the views find each part of the map's layout in the debug
# information: a class, a path of data members through it (anonymous unions
# looked through), and what is taken: the offset, the size, or the number
# of words.
LAYOUT_SOURCES = {
    "count": ("ZAND_OBJ_MAP", "m_table.m_count", "offset"),
    "form": ("ZAND_OBJ_MAP", "m_table.m_slots.m_form", "offset"),
    "buckets": ("ZAND_OBJ_MAP", "m_table.m_slots.m_bucket_count", "offset"),
    "cursor": ("ZAND_OBJ_MAP", "m_cursor", "offset"),
    "small": ("ZAND_OBJ_MAP", "m_table.m_slots.m_form.small", "words"),
    "value": ("zand_internal::ObjHashEntry", "value", "offset"),
    "key_size": ("zand_internal::ObjHashEntry", "key_size", "offset"),
    "entry_size": ("zand_internal::ObjHashEntry", "", "size"),
    "leaf_count": ("zand_internal::ObjHashLeaf", "count", "offset"),
    "leaf_kind": ("zand_internal::ObjHashLeaf", "kind", "offset"),
    "leaf_entries": ("zand_internal::ObjHashLeaf", "chain.entries", "offset"),
    "capacity": ("zand_internal::ObjHashLeaf", "chain.entries", "words"),
    "leaf_next": ("zand_internal::ObjHashLeaf", "chain.next", "offset"),
    "index_first": ("zand_internal::ObjHashLeaf", "index.first", "offset"),
    "leaf_size": ("zand_internal::ObjHashLeaf", "", "size"),
}
# The same layout for a class the debug information lacks (a library built
# without it, or a leaf the program only declares): g++'s on 64-bit
# targets, as src/frame/class_sizes.cpp pins it (the map's private members
# through their classes' sizes; the debug leg checks the rest).
FALLBACK_LAYOUT = {
    "count": 8, "form": 32, "buckets": 64, "cursor": 72, "small": 4,
    "value": 8, "key_size": 16, "entry_size": 24,
    "leaf_count": 6, "leaf_kind": 7, "leaf_entries": 8, "capacity": 6,
    "leaf_next": 56, "index_first": 16, "leaf_size": 64,
}


def map_layout(find_type):
    """The layout, from the debug information for each class it describes
    in full and from FALLBACK_LAYOUT for the others. find_type(name) gives
    a class's member(path) -> (offset, size) or None, or None itself when
    the class is not described. MapFault when a described class lacks a
    member read here: the views are then older than the library."""
    layout = {}
    described = {}
    for key, (name, path, taken) in LAYOUT_SOURCES.items():
        if name not in described:
            described[name] = find_type(name)
        if described[name] is None:
            layout[key] = FALLBACK_LAYOUT[key]
            continue
        member = described[name].member(path)
        if member is None:
            raise MapFault("unreadable map: %s has no member %s" % (name, path))
        offset, size = member
        layout[key] = {"offset": offset, "size": size, "words": size // WORD}[taken]
    return layout


def escape_key(head, size):
    """A key as the views show it, from its first bytes (head) and its
    length: printable ASCII as it is but backslash and the double quote,
    every other byte as \\xHH; past KEY_LIMIT bytes, cut, its length
    following."""
    text = "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'\\"'
                   else "\\x%02x" % b for b in head[:KEY_LIMIT])
    if size > KEY_LIMIT:
        text += "\u2026 (%d bytes)" % size
    return '"%s"' % text


class MapWalk:
    """A map read from memory: its count, bucket count and cursor, and its
    entries in the walk's order (the map's get_next_entry order)."""

    def __init__(self, memory, layout, address):
        self.memory = memory
        self.layout = layout
        self.count = self.word(address + layout["count"])
        self.buckets = self.word(address + layout["buckets"])
        self.form = address + layout["form"]
        self.cursor = self.word(address + layout["cursor"])
        # The slot form's first word: the heads' array, or the directory of
        # their segments.
        self.heads = self.word(self.form)
        self.segments = {}

    def word(self, address):
        return self.memory.number(self.memory.read(address, WORD))

    def entries(self):
        """The entries' addresses in walk order. Raises MapFault where a
        read fails or the buckets break their shape, and past VISIT_LIMIT
        heads and leaves."""
        layout = self.layout
        if self.count == 0:
            # As the map's own walk: an empty map has no entries to find.
            return
        if self.buckets == 1:
            # The single bucket's entries are in the slot form itself.
            if self.count > layout["small"]:
                raise MapFault("corrupt map: its single bucket holds %d entries, "
                               "room for %d" % (self.count, layout["small"]))
            for i in range(self.count):
                yield self.word(self.form + i * WORD)
            return
        visits = 0
        for bucket in range(self.buckets):
            leaf = self.head(bucket)
            kind = None
            while leaf != 0:
                visits += 1
                if visits > VISIT_LIMIT:
                    raise MapFault("walk stopped after %d bucket heads and leaves"
                                   % VISIT_LIMIT)
                raw = self.memory.read(leaf, layout["leaf_size"])
                if kind is None:
                    kind = raw[layout["leaf_kind"]]
                    if kind == LEAF_INDEXED:
                        # The head holds the index's summary, no entries.
                        leaf = self.field(raw, "index_first")
                        continue
                    if kind != LEAF_CHAIN:
                        raise MapFault("corrupt map: bucket %d's head is of kind %d"
                                       % (bucket, kind))
                held = raw[layout["leaf_count"]]
                leaf = self.field(raw, "leaf_next")
                self.check_leaf(bucket, kind, held, leaf)
                for i in range(held):
                    yield self.field(raw, "leaf_entries", i)

    def head(self, bucket):
        """The address of a bucket's head leaf: in the array up to
        ARRAY_BUCKETS buckets; beyond, segment 0 holds the first
        ARRAY_BUCKETS heads and segment k the heads whose highest set bit
        is 5 + k."""
        if self.buckets <= ARRAY_BUCKETS:
            return self.heads + bucket * self.layout["leaf_size"]
        if bucket < ARRAY_BUCKETS:
            segment, index = 0, bucket
        else:
            top = bucket.bit_length() - 1
            segment, index = top - 5, bucket - (1 << top)
        if segment not in self.segments:
            self.segments[segment] = self.word(self.heads + segment * WORD)
        return self.segments[segment] + index * self.layout["leaf_size"]

    def field(self, raw, key, index=0):
        start = self.layout[key] + index * WORD
        return self.memory.number(raw[start:start + WORD])

    def check_leaf(self, bucket, kind, held, following):
        """A leaf's count against its bucket's shape: at most capacity; in
        a chain, full unless it is the last; in an index, never empty. So
        a cycle of leaves yields entries, and ends at the entry count."""
        capacity = self.layout["capacity"]
        if held > capacity:
            problem = "holds %d entries, room for %d" % (held, capacity)
        elif kind == LEAF_CHAIN and following != 0 and held < capacity:
            problem = "holds %d of %d entries, yet another follows" % (held, capacity)
        elif kind == LEAF_INDEXED and held == 0:
            problem = "of its index holds no entry"
        else:
            return
        raise MapFault("corrupt map: a leaf of bucket %d %s" % (bucket, problem))

    def entry(self, address):
        """An entry's key, quoted and escaped, and its value."""
        layout = self.layout
        raw = self.memory.read(address, layout["entry_size"])
        size = self.field(raw, "key_size")
        shown = min(size, KEY_LIMIT)
        head = self.memory.read(address + layout["entry_size"], shown) if shown else b""
        return escape_key(head, size), self.field(raw, "value")


def map_survey(walk):
    """The first CHILD_LIMIT entries as (key, value, address), and the note
    that ends their walk: None for a sound end at the entry count, or what
    left entries unshown."""
    limit = min(walk.count, CHILD_LIMIT)
    shown = []
    try:
        for address in walk.entries():
            if len(shown) == limit:
                break
            shown.append(walk.entry(address) + (address,))
        else:
            if len(shown) == walk.count:
                return shown, None
            return shown, "<corrupt map: the buckets hold %d of its %d entries>" % (
                len(shown), walk.count)
    except MapFault as fault:
        return shown, "<%s>" % fault
    if limit == walk.count:
        return shown, "<corrupt map: the buckets hold more than its %d entries>" % (
            walk.count)
    return shown, "showing the first %d" % limit


def map_cursor_place(walk):
    """Where the cursor stands: "at end", "at <index>", or "not found" and
    where it was not."""
    if walk.cursor == 0:
        return "at end"
    index = -1
    try:
        entries = itertools.islice(walk.entries(), min(walk.count, LINK_LIMIT))
        for index, address in enumerate(entries):
            if address == walk.cursor:
                return "at %d" % index
    except MapFault:
        return "not found"
    if index + 1 == LINK_LIMIT:
        return "not found in the first %d entries" % LINK_LIMIT
    return "not found in the map"


def map_summary_text(walk, note):
    """`ZAND_OBJ_MAP of size 3, cursor at 1`, and the survey's note."""
    text = "ZAND_OBJ_MAP of size %d, cursor %s" % (walk.count, map_cursor_place(walk))
    return text + ", " + note if note else text

# ---- End of the map's walk.


class Memory:
    """The program's memory, for the map's walk."""

    def __init__(self, process):
        self.process = process
        little = process.GetByteOrder() == lldb.eByteOrderLittle
        self.order = "little" if little else "big"

    def read(self, address, size):
        """size bytes from address; MapFault when they cannot be read."""
        error = lldb.SBError()
        raw = self.process.ReadMemory(address, size, error)
        if error.Fail() or raw is None or len(raw) != size:
            raise MapFault("unreadable map: cannot read 0x%x" % address)
        return raw

    def number(self, raw):
        return int.from_bytes(raw, self.order)


class DescribedType:
    """A class as the debug information describes it in full."""

    def __init__(self, described):
        self.type = described

    def member(self, path):
        """(offset, size) of the data member at path ("a.b"; "" for the
        class itself), or None."""
        offset, described = 0, self.type
        for name in filter(None, path.split(".")):
            found = find_field(described, name)
            if found is None:
                return None
            offset, described = offset + found[0], found[1]
        return offset, described.GetByteSize()


def find_field(described, name):
    """(offset, type) of the data member name, looking through anonymous
    unions and structs; None when there is none."""
    described = described.GetCanonicalType()
    for i in range(described.GetNumberOfFields()):
        field = described.GetFieldAtIndex(i)
        if field.GetName() == name:
            return field.GetOffsetInBytes(), field.GetType()
        if not field.GetName():
            inner = find_field(field.GetType(), name)
            if inner is not None:
                return field.GetOffsetInBytes() + inner[0], inner[1]
    return None


def map_walk(value):
    """The map's walk over the memory of value's process, with the layout
    from the debug information of all the target's modules."""
    value = value.GetNonSyntheticValue()
    address = value.GetLoadAddress()
    if address == lldb.LLDB_INVALID_ADDRESS:
        raise MapFault("unreadable map: it is not in the program's memory")
    target = value.GetTarget()

    def find_type(name):
        for described in target.FindTypes(name):
            if described.GetNumberOfFields():
                return DescribedType(described)
        return None

    return MapWalk(Memory(value.GetProcess()), map_layout(find_type), address)


def map_summary(value, internal_dict):
    """`ZAND_OBJ_MAP of size 3, cursor at 1`, and what ended the walk early
    when something did."""
    try:
        walk = map_walk(value)
    except MapFault as fault:
        return "ZAND_OBJ_MAP <%s>" % fault
    return map_summary_text(walk, map_survey(walk)[1])


class ObjMapChildren:
    """ZAND_OBJ_MAP's values in the map's walk order, each named by its
    key: ["Harbour"], ["quay"], ..."""

    def __init__(self, value, internal_dict):
        self.value = value
        self.shown = []
        self.value_offset = 0
        self.pointer = None

    def update(self):
        self.shown, self.value_offset = [], 0
        try:
            walk = map_walk(self.value)
            self.shown = map_survey(walk)[0]
            self.value_offset = walk.layout["value"]
        except MapFault:
            pass
        target = self.value.GetTarget()
        self.pointer = target.FindFirstType("ZAND_OBJ").GetPointerType()
        if not self.pointer.IsValid():
            void = target.GetBasicType(lldb.eBasicTypeVoid)
            self.pointer = void.GetPointerType()
        return False

    def num_children(self):
        return len(self.shown)

    def has_children(self):
        return True

    def get_child_index(self, name):
        for index, (key, _, _) in enumerate(self.shown):
            if "[%s]" % key == name:
                return index
        return -1

    def get_child_at_index(self, index):
        if not 0 <= index < len(self.shown):
            return None
        key, _, address = self.shown[index]
        return self.value.CreateValueFromAddress(
            "[%s]" % key, address + self.value_offset, self.pointer)


def __lldb_init_module(debugger, internal_dict):
    views = [
        ("ZAND_OBJ_LIST", "list_summary", "ObjListChildren"),
        ("ZAND_FILE", "file_summary", "NoChildren"),
        ("ZAND_OBJ_MAP", "map_summary", "ObjMapChildren"),
    ]
    for name, summary, children in views:
        debugger.HandleCommand("type summary add --expand --hide-empty -x '^%s$' -F %s.%s"
                               % (name, __name__, summary))
        debugger.HandleCommand("type synthetic add -x '^%s$' -l %s.%s"
                               % (name, __name__, children))
