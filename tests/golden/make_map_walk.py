#!/usr/bin/env python3
"""Writes map_walk.txt, the golden walk of a ZAND_OBJ_MAP, beside this script.

The key set is fixed (a seeded generator of its own, so that any Python 3
makes the same keys), and every figure in the file comes from the map's
definition, never from the library:

  hash: h = 0; for each byte up to the first zero byte, A-Z folded to a-z,
    the byte read as a signed 8-bit number: h = h * 17 + byte, modulo 2^64.
  key order: the folded bytes up to the first zero byte, compared as
    unsigned numbers; a proper prefix first. Keys equal so are one key.
  table shape after n new keys in a fresh map: bucket_count = 1 up to 4
    keys, ceil(n / 4) beyond; mask + 1 = the smallest power of two at least
    bucket_count, and at least 2. bucket = h & mask, less (mask >> 1) + 1
    where that is not below bucket_count.
  walk: by ascending bucket, inside a bucket in key order.

Regenerating is deliberate: only a change of the key set or of the file's
format calls for it, never a change of the library.
  python3 tests/golden/make_map_walk.py          rewrites map_walk.txt
  python3 tests/golden/make_map_walk.py --check  exits 1 if it differs
"""

import os
import sys

MASK64 = (1 << 64) - 1
SEED = 20240611

# The encoding of a key on its line, which the test renders alike.
MIN_RUN = 16  # bytes a run must cover to be written as one
MAX_PERIOD = 16  # the longest unit a run may repeat


class Rng:
    """splitmix64: small, and the same on every Python."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK64
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        return z ^ (z >> 31)

    def below(self, n):
        return self.next() % n

    def pick(self, seq):
        return seq[self.below(len(seq))]

    def weighted(self, pairs):
        total = sum(weight for weight, _ in pairs)
        x = self.below(total)
        for weight, value in pairs:
            if x < weight:
                return value
            x -= weight
        raise AssertionError


# --- The definition -------------------------------------------------------


def up_to_zero(key):
    end = key.find(0)
    return key if end < 0 else key[:end]


def folded(key):
    return bytes(b + 0x20 if 0x41 <= b <= 0x5A else b for b in up_to_zero(key))


def key_hash(key):
    h = 0
    for b in folded(key):
        h = (h * 17 + (b - 256 if b >= 128 else b)) & MASK64
    return h


def table_shape(n):
    bucket_count = 1 if n <= 4 else (n + 3) // 4
    mask = 1
    while mask + 1 < bucket_count:
        mask = mask * 2 + 1
    return bucket_count, mask


def walk_order(keys):
    bucket_count, mask = table_shape(len(keys))

    def bucket(key):
        b = key_hash(key) & mask
        return b - ((mask >> 1) + 1) if b >= bucket_count else b

    return sorted(keys, key=lambda key: (bucket(key), folded(key)))


# --- The key set ----------------------------------------------------------

LOWER = bytes(range(0x61, 0x7B))
UPPER = bytes(range(0x41, 0x5B))
DIGITS = b"0123456789"
# The neighbours of the letters, which folding must leave alone, and a few
# more signs.
SIGNS = b"@[\\]^_`{|}~ -./:#*"
CONTROLS = bytes(range(0x01, 0x20)) + b"\x7f"
# From 0x80 up, the bytes with a letter's low seven bits (0xC1-0xDA,
# 0xE1-0xFA) among them twice.
HIGH = (bytes(range(0x80, 0x100)) + bytes(range(0xC1, 0xDB)) +
        bytes(range(0xE1, 0xFB)))

BYTE_CLASSES = [
    (38, LOWER),
    (28, UPPER),
    (9, DIGITS),
    (11, SIGNS),
    (3, CONTROLS),
    (11, HIGH),
]

SHORT_LENGTHS = [
    (3, 1), (7, 2), (12, 3), (15, 4), (15, 5), (13, 6), (10, 7), (8, 8),
    (5, 9), (3, 10), (2, 11), (1, 12), (1, 13), (1, 14), (1, 15), (1, 16),
    (1, 17), (1, 23), (1, 24), (1, 25),
]


def random_bytes(rng, n):
    return bytes(rng.pick(rng.weighted(BYTE_CLASSES)) for _ in range(n))


def random_case(rng, text):
    return bytes(b ^ 0x20 if rng.below(2) and 0x61 <= (b | 0x20) <= 0x7A else b
                 for b in text)


def one_bucket_key(i, blocks):
    """Key i of a family sharing one hash (tests/containers/key_model.h)."""
    return b"".join(b"di" if (i >> b) & 1 else b"cz" for b in range(blocks))


LOW_BITS_SYMBOLS = bytes(c for c in range(0x21, 0x7F) if not 0x41 <= c <= 0x5A)


def low_bits_tails(bits):
    """For each residue of 2^bits, five bytes (no capital letter) whose hash
    has it (tests/containers/key_model.h makes its tails alike)."""
    residues = 1 << bits
    table = [None] * residues
    found = 0
    n = 0
    while found < residues:
        digits = n
        tail = bytearray()
        for _ in range(5):
            tail.append(LOW_BITS_SYMBOLS[digits % len(LOW_BITS_SYMBOLS)])
            digits //= len(LOW_BITS_SYMBOLS)
        value = key_hash(bytes(tail)) & (residues - 1)
        if table[value] is None:
            table[value] = bytes(tail)
            found += 1
        n += 1
    return table


def low_bits_key(i, bits, length, tails):
    """Key i of a family whose hashes agree in their low bits: i's digits,
    dots, and a tail that brings the low bits to zero."""
    head = str(i).encode().ljust(length - 5, b".")
    wanted = (-key_hash(head) * 17 ** 5) % (1 << bits)
    return head + tails[wanted]


def patterned(rng, length):
    """length bytes: a few random ones around a repeated unit of 1-13."""
    head = random_bytes(rng, rng.below(4))
    tail = random_bytes(rng, 1 + rng.below(4))
    unit = random_bytes(rng, 1 + rng.below(13))
    body_length = length - len(head) - len(tail)
    body = unit * (body_length // len(unit) + 1)
    return head + body[:body_length] + tail


class KeySet:
    def __init__(self):
        self.keys = []
        self.seen = set()

    def add(self, key):
        """Adds a key that is new to the map; false for one it holds."""
        if folded(key) in self.seen:
            return False
        self.seen.add(folded(key))
        self.keys.append(key)
        return True

    def add_new(self, key):
        """Adds a key that cannot be in the set already."""
        if not self.add(key):
            raise AssertionError("made the same key twice: %r" % key[:40])


def make_keys():
    rng = Rng(SEED)
    keys = KeySet()
    keys.add(b"")

    # Two families of keys that all share one hash, and so one bucket that
    # keeps an index, in letters of both cases.
    for i in range(256):
        keys.add_new(random_case(rng, one_bucket_key(i, 8)))
    chosen = set()
    while len(chosen) < 200:
        chosen.add(rng.below(1 << 10))
    for i in sorted(chosen):
        keys.add_new(random_case(rng, one_bucket_key(i, 10)))
    # One more, whose keys agree for their first 4,093 bytes: comparing them
    # crosses hundreds of words.
    prefix = patterned(rng, 4093)
    for i in range(32):
        blocks = random_case(rng, one_bucket_key(i, 5))
        keys.add_new(prefix + blocks + b"~!\xE9")

    # A family whose hashes agree in their low 10 bits: one bucket up to
    # 1,024 buckets, then split apart as the table grows past 2,048 and
    # 4,096.
    tails = low_bits_tails(10)
    for i in range(300):
        keys.add_new(random_case(rng, low_bits_key(i, 10, 28, tails)))

    # Keys of 64 KiB and more, around the boundary.
    for length in (65535, 65536, 65537, 65543, 65544, 65545, 98307, 131077):
        keys.add_new(patterned(rng, length))

    # A spread of medium lengths from 16 bytes to 16 KiB, as many from 16 to
    # 31 as from 8,192 to 16,383 (integers only, so that every Python draws
    # the same).
    for _ in range(320):
        scale = 16 << rng.below(10)
        keys.add_new(patterned(rng, scale + rng.below(scale)))

    # Zero bytes inside keys: the key ends at the first, wherever it lies in
    # a word, and what follows is kept but neither hashed nor compared.
    added = 0
    while added < 150:
        before = random_bytes(rng, 1 + rng.below(17))
        after = bytes(rng.below(256) for _ in range(1 + rng.below(12)))
        added += keys.add(before + b"\x00" + after)

    # Most keys are short.
    while len(keys.keys) < 10000:
        keys.add(random_bytes(rng, rng.weighted(SHORT_LENGTHS)))
    return keys.keys


# --- The file -------------------------------------------------------------


def escape(data):
    return "".join(chr(b) if 0x21 <= b <= 0x7E and b not in b"#\\{}"
                   else "\\x%02X" % b for b in data)


def encode_key(key):
    """The key as written: runs of a repeated unit as {COUNT*UNIT}, other
    bytes one by one. At each place the run covering the most bytes is
    taken, the shorter unit on a tie, if it covers MIN_RUN bytes."""
    out = []
    i = 0
    n = len(key)
    while i < n:
        best_period, best_count = 0, 0
        period = 1
        while period <= MAX_PERIOD and i + 2 * period <= n:
            unit = key[i:i + period]
            count = 1
            at = i + period
            while at + period <= n and key[at:at + period] == unit:
                count += 1
                at += period
            if count >= 2 and period * count > best_period * best_count:
                best_period, best_count = period, count
            period += 1
        if best_period * best_count >= MIN_RUN:
            unit = escape(key[i:i + best_period])
            out.append("{%d*%s}" % (best_count, unit))
            i += best_period * best_count
        else:
            out.append(escape(key[i:i + 1]))
            i += 1
    return "".join(out)


HEADER = """\
# The walk of a ZAND_OBJ_MAP holding the {count} keys below: every
# platform's map must hand them back in this order, whatever the order of
# insertion. A {count}-key table has {buckets} buckets and mask {mask:#x}.
# Made by make_map_walk.py from the map's definition, not by the library;
# regenerate only on purpose: python3 tests/golden/make_map_walk.py
#
# One line per key: the key, a space, its hash in lowercase hex. In the key,
# the bytes 0x21 to 0x7E but # \\ {{ }} stand for themselves, every other byte
# is \\xHH, and {{N*UNIT}} is UNIT, written alike, N times: at each place the
# run of a unit of at most {max_period} bytes that covers the most bytes (the
# shorter unit on a tie), if it covers at least {min_run}.
"""


def render():
    keys = walk_order(make_keys())
    buckets, mask = table_shape(len(keys))
    lines = [HEADER.format(count=len(keys), buckets=buckets, mask=mask,
                           min_run=MIN_RUN, max_period=MAX_PERIOD)]
    for key in keys:
        lines.append("%s %x\n" % (encode_key(key), key_hash(key)))
    return "".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "map_walk.txt")
    text = render()
    if sys.argv[1:] == ["--check"]:
        with open(path, encoding="ascii", newline="") as f:
            if f.read() != text:
                print("%s differs from what make_map_walk.py makes" % path)
                return 1
        return 0
    if sys.argv[1:]:
        print(__doc__)
        return 2
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
