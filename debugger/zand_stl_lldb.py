# LLDB views of zand_stl's classes: synthetic children and summaries, read
# through the debug information alone (nothing runs in the program). Load
# them with `command script import <path>/zand_stl_lldb.py`.

import lldb

# A list shows at most this many elements.
CHILD_LIMIT = 10000
# At most this many links are followed to place the cursor, so that a
# corrupt or cyclic list costs a bounded time.
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


def escape_key(data, limit=200):
    """A map key as the map's summary shows it: printable ASCII as it is but
    backslash and the double quote, every other byte as \\xHH; a key longer
    than limit bytes is cut there, its length following."""
    text = "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'\\"'
                   else "\\x%02x" % b for b in data[:limit])
    if len(data) > limit:
        text += "\u2026 (%d bytes)" % len(data)
    return text


def __lldb_init_module(debugger, internal_dict):
    views = [
        ("ZAND_OBJ_LIST", "list_summary", "ObjListChildren"),
        ("ZAND_FILE", "file_summary", "NoChildren"),
        # ("ZAND_OBJ_MAP", "map_summary", "ObjMapChildren") joins here once
        # the map's walk is written (keys through escape_key).
    ]
    for name, summary, children in views:
        debugger.HandleCommand("type summary add --expand --hide-empty -x '^%s$' -F %s.%s"
                               % (name, __name__, summary))
        debugger.HandleCommand("type synthetic add -x '^%s$' -l %s.%s"
                               % (name, __name__, children))
