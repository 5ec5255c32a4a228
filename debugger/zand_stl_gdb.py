# GDB pretty-printers for zand_stl's classes, read through the debug
# information alone: nothing runs in the program, and the standard library's
# own printers need not be loaded. GDB loads this file by itself from its
# auto-load directory as libzand_stl.so.<version>-gdb.py, or by hand with
# `source zand_stl_gdb.py`.

import gdb
import gdb.printing

# A list shows at most this many elements, then "...".
CHILD_LIMIT = 10000
# At most this many links are followed to place the cursor, so that a
# corrupt or cyclic list costs a bounded time.
LINK_LIMIT = 100000

# glibc stamps this into the high half of a live FILE's _flags; its
# _IO_NO_READS and _IO_NO_WRITES bits tell the directions it is open for.
GLIBC_FILE_MAGIC = 0xFBAD0000
GLIBC_NO_READS = 0x4
GLIBC_NO_WRITES = 0x8


class Chain:
    """The links of a libstdc++ std::list, as the debug information lays
    them out: a header node (the end position, holding the size) whose
    _M_next is the first element's node; each element lies in its node's
    _M_storage."""

    def __init__(self, chain):
        header = chain["_M_impl"]["_M_node"]
        self.end = int(header.address)
        self.first = header["_M_next"]
        fields = [f.name for f in header.type.fields()]
        self.size = int(header["_M_size"]) if "_M_size" in fields else None
        self.element_type = chain.type.strip_typedefs().template_argument(0)
        try:
            node = gdb.lookup_type("std::_List_node<%s>" % self.element_type)
            storage = [f for f in node.fields() if f.name == "_M_storage"][0]
            self.offset = storage.bitpos // 8
        except (gdb.error, IndexError):
            # A program that never made a node has no node type in its debug
            # information: the element then follows the two links, aligned.
            align = self.element_type.alignof
            self.offset = -(-self.first.type.target().sizeof // align) * align

    def next_of(self, address):
        """The link that leaves the node at address; LookupError when it
        cannot be read."""
        try:
            node = gdb.Value(address).cast(self.first.type)
            return int(node.dereference()["_M_next"])
        except gdb.MemoryError:
            raise LookupError("cannot read the link at 0x%x" % address)

    def nodes(self, limit):
        """The element nodes' addresses from head to tail, at most limit of
        them, each yielded once its own link has been read."""
        node = int(self.first)
        for _ in range(limit):
            if node == self.end:
                return
            following = self.next_of(node)
            yield node
            node = following

    def element(self, address):
        pointer = gdb.Value(address + self.offset).cast(
            self.element_type.pointer())
        return pointer.dereference()


# The walk below (survey, cursor_place) and its texts are those of
# zand_stl_lldb.py: change both together.
def survey(chain):
    """The first CHILD_LIMIT element nodes, and the text that ends their walk:
    None for a sound end at the size recorded in the header, "..." when
    elements are left unshown, or what is wrong with the links."""
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
    return nodes, "..."


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


class ObjListPrinter:
    """ZAND_OBJ_LIST: its size and cursor, and its elements from head to
    tail, as `ZAND_OBJ_LIST of size 3, cursor at 1 = {0x..., 0x0, 0x...}`."""

    def __init__(self, value):
        self.value = value

    def to_string(self):
        try:
            chain = Chain(self.value["m_chain"])
            cursor = int(self.value["m_cursor"]["_M_node"])
        except gdb.error as error:
            return "ZAND_OBJ_LIST <unreadable: %s>" % error
        return "ZAND_OBJ_LIST of size %s, cursor %s" % (
            "?" if chain.size is None else chain.size,
            cursor_place(chain, cursor))

    def children(self):
        try:
            chain = Chain(self.value["m_chain"])
        except gdb.error:
            return
        nodes, problem = survey(chain)
        for index, address in enumerate(nodes):
            yield "[%d]" % index, chain.element(address)
        if problem:
            yield "[%d]" % len(nodes), problem

    def display_hint(self):
        return "array"


class FilePrinter:
    """ZAND_FILE: its FILE*, and from glibc's FILE whether the stream is open,
    for what, and its descriptor."""

    def __init__(self, value):
        self.value = value

    def to_string(self):
        try:
            stream = self.value["m_file"]
            if int(stream) == 0:
                return "ZAND_FILE holding no stream"
            return "ZAND_FILE 0x%x%s" % (int(stream), glibc_state(stream))
        except gdb.error as error:
            return "ZAND_FILE <unreadable: %s>" % error


def glibc_state(stream):
    """", open for reading, fd 3" and the like from glibc's FILE; "" when the
    runtime's FILE has no such fields (or its layout is unknown)."""
    try:
        record = stream.dereference()
        fields = [f.name for f in record.type.strip_typedefs().fields()]
    except gdb.error:
        return ""
    if "_flags" not in fields or "_fileno" not in fields:
        return ""
    try:
        flags = int(record["_flags"]) & 0xFFFFFFFF
        descriptor = int(record["_fileno"])
    except gdb.MemoryError:
        return ", unreadable"
    if flags & 0xFFFF0000 != GLIBC_FILE_MAGIC:
        return ", not an open stream (flags 0x%x)" % flags
    ways = [way for way, bit in (("reading", GLIBC_NO_READS),
                                 ("writing", GLIBC_NO_WRITES))
            if not flags & bit]
    return ", open for %s, fd %d" % (" and ".join(ways) or "nothing", descriptor)


def escape_key(data, limit=200):
    """A map key as the map's printer shows it: printable ASCII as it is but
    backslash and the double quote, every other byte as \\xHH; a key longer
    than limit bytes is cut there, its length following."""
    text = "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'\\"'
                   else "\\x%02x" % b for b in data[:limit])
    if len(data) > limit:
        text += "\u2026 (%d bytes)" % len(data)
    return text


def build_printer():
    printer = gdb.printing.RegexpCollectionPrettyPrinter("zand_stl")
    printer.add_printer("ZAND_OBJ_LIST", "^ZAND_OBJ_LIST$", ObjListPrinter)
    printer.add_printer("ZAND_FILE", "^ZAND_FILE$", FilePrinter)
    # ZAND_OBJ_MAP: an ObjMapPrinter beside ObjListPrinter (its walk in the
    # map's order, keys through escape_key, display hint "map") joins here.
    return printer


# Auto-loaded, the printers belong to the library's objfile; sourced by hand,
# to every program. Sourcing again replaces them.
gdb.printing.register_pretty_printer(gdb.current_objfile(), build_printer(),
                                     replace=True)
