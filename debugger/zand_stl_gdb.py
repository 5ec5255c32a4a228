# GDB pretty-printers for zand_stl's classes, read through the debug
# information (the map, where it lacks that, through a table of its layout):
# nothing runs in the program, and the standard library's own printers need
# not be loaded. GDB loads this file by itself from its auto-load directory
# as libzand_stl.so.<version>-gdb.py, or by hand with `source
# zand_stl_gdb.py`; zand_stl_views.py must lie beside it.

import os
import sys

import gdb
import gdb.printing

# The shared walks lie beside this file, in the source tree and where the
# install puts it.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
try:
    from zand_stl_views import (DescribedType, MapFault, MapWalk,
                                ProgramMemory, cursor_place, glibc_text,
                                map_layout, map_summary_text, map_survey,
                                survey)
finally:
    del sys.path[0]


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
        nodes, problem = survey(chain, lambda count: "...")
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
    return glibc_text(flags, descriptor)


class Memory(ProgramMemory):
    """The program's memory, for the map's walk."""

    def __init__(self):
        self.inferior = gdb.selected_inferior()
        endian = gdb.execute("show endian", to_string=True)
        self.order = "big" if "big endian" in endian else "little"

    def read(self, address, size):
        """size bytes from address; MapFault when they cannot be read."""
        try:
            return bytes(self.inferior.read_memory(address, size))
        except (gdb.MemoryError, ValueError, OverflowError):
            raise MapFault("unreadable map: cannot read 0x%x" % address)


def type_size(described):
    return described.sizeof


def find_field(described, name):
    """(offset, type) of the data member name, looking through anonymous
    unions and structs; None when there is none."""
    for field in described.strip_typedefs().fields():
        # Static members have no position.
        if field.is_base_class or not hasattr(field, "bitpos"):
            continue
        if field.name == name:
            return field.bitpos // 8, field.type.strip_typedefs()
        if not field.name:
            inner = find_field(field.type, name)
            if inner is not None:
                return field.bitpos // 8 + inner[0], inner[1]
    return None


def find_type(name):
    """The class called name if some objfile describes it in full, or
    None."""
    try:
        described = gdb.lookup_type(name).strip_typedefs()
        if not described.fields():
            return None
        return DescribedType(described, find_field, type_size)
    except (gdb.error, TypeError):
        return None


class ObjMapPrinter:
    """ZAND_OBJ_MAP: its size and cursor, and its entries in the map's walk
    order as key and value, as `ZAND_OBJ_MAP of size 2, cursor at 1 =
    {["Harbour"] = 0x..., ["quay"] = 0x0}`. A walk that stops early says
    why in the summary."""

    def __init__(self, value):
        self.value = value
        self.walk = None
        self.shown = []
        self.note = None

    def survey(self):
        """Reads the map once for the summary and the children; returns
        the problem text when it cannot be read at all."""
        if self.walk is not None:
            return None
        address = self.value.address
        if address is None:
            return "<unreadable map: it is not in the program's memory>"
        try:
            self.walk = MapWalk(Memory(), map_layout(find_type), int(address))
        except MapFault as fault:
            return "<%s>" % fault
        self.shown, self.note = map_survey(self.walk)
        return None

    def to_string(self):
        problem = self.survey()
        if problem:
            return "ZAND_OBJ_MAP " + problem
        return map_summary_text(self.walk, self.note)

    def children(self):
        if self.survey():
            return
        try:
            pointer = gdb.lookup_type("ZAND_OBJ").pointer()
        except gdb.error:
            pointer = gdb.lookup_type("void").pointer()
        for index, (key, value, _) in enumerate(self.shown):
            yield "[%d]" % (2 * index), key
            yield "[%d]" % (2 * index + 1), gdb.Value(value).cast(pointer)

    def display_hint(self):
        return "map"


def build_printer():
    printer = gdb.printing.RegexpCollectionPrettyPrinter("zand_stl")
    printer.add_printer("ZAND_OBJ_LIST", "^ZAND_OBJ_LIST$", ObjListPrinter)
    printer.add_printer("ZAND_FILE", "^ZAND_FILE$", FilePrinter)
    printer.add_printer("ZAND_OBJ_MAP", "^ZAND_OBJ_MAP$", ObjMapPrinter)
    return printer


# Auto-loaded, the printers belong to the library's objfile; sourced by hand,
# to every program. Sourcing again replaces them.
gdb.printing.register_pretty_printer(gdb.current_objfile(), build_printer(),
                                     replace=True)
