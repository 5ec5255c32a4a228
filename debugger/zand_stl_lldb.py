# LLDB views of zand_stl's classes: synthetic children and summaries, read
# through the debug information (the map, where it lacks that, through a
# table of its layout); nothing runs in the program. Load them with
# `command script import <path>/zand_stl_lldb.py`, zand_stl_views.py lying
# beside it.

import os
import sys

import lldb

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


def showing_first(count):
    return "showing the first %d" % count


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
    problem = survey(chain, showing_first)[1]
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
            self.nodes = survey(self.chain, showing_first)[0]
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
    return glibc_text(bits, descriptor.GetValueAsSigned())


class Memory(ProgramMemory):
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


def type_size(described):
    return described.GetByteSize()


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
                return DescribedType(described, find_field, type_size)
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
