# The debugger-neutral part of zand_stl's views, shared by zand_stl_gdb.py
# and zand_stl_lldb.py, which each lie beside a copy of this file: the walks
# of a list's links and of a map's buckets, bounded so that a corrupt or
# cyclic structure costs a bounded time, and the texts the views show. Each
# debugger supplies the reads: a list's Chain, and for the map a Memory and
# its classes' layout.

import itertools

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


def glibc_text(flags, descriptor):
    """", open for reading, fd 3" and the like from a glibc FILE's _flags
    and _fileno."""
    if flags & 0xFFFF0000 != GLIBC_FILE_MAGIC:
        return ", not an open stream (flags 0x%x)" % flags
    ways = [way for way, bit in (("reading", GLIBC_NO_READS),
                                 ("writing", GLIBC_NO_WRITES))
            if not flags & bit]
    return ", open for %s, fd %d" % (" and ".join(ways) or "nothing", descriptor)


def survey(chain, unshown):
    """The first CHILD_LIMIT element nodes of a list's chain, and the text
    that ends their walk: None for a sound end at the size recorded in the
    header, what is wrong with the links, or unshown(count) when elements
    are left unshown."""
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
    return nodes, unshown(count)


def cursor_place(chain, cursor):
    """Where a list's cursor stands: "at end", "at <index>", or why it was
    not found among the first LINK_LIMIT links."""
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


class MapFault(Exception):
    """What stops a map's walk early, as "corrupt map: ..." or "unreadable
    map: ..."."""


class ProgramMemory:
    """The program's memory, for the map's walk: each debugger's subclass
    reads it (read(address, size), MapFault when it cannot) and sets the
    program's byte order."""

    order = "little"

    def number(self, raw):
        return int.from_bytes(raw, self.order)


class DescribedType:
    """A class as the debug information describes it in full, in a
    debugger's own terms: find_field(type, name) gives a data member's
    (offset, type) or None, size_of(type) a type's size."""

    def __init__(self, described, find_field, size_of):
        self.type = described
        self.find_field = find_field
        self.size_of = size_of

    def member(self, path):
        """(offset, size) of the data member at path ("a.b"; "" for the
        class itself), or None."""
        offset, described = 0, self.type
        for name in filter(None, path.split(".")):
            found = self.find_field(described, name)
            if found is None:
                return None
            offset, described = offset + found[0], found[1]
        return offset, self.size_of(described)


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
