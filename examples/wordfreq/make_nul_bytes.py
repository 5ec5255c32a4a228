#!/usr/bin/env python3
"""Writes nul_bytes.txt, the input of the wordfreq_nul_bytes test.

Lines cut short by NUL bytes beside lines that fill read_string's 2,047-byte
pieces: a NUL as the last byte of a piece, which comes back 2,046 bytes
long and leaves the rest of its line to the next piece; a full piece whose
word runs on into the next; and a NUL right after a full piece. The words
after a NUL within its piece are lost; each of the eight others must count
once, and none may be joined with the next line's.
"""
import pathlib

FULL = 2047  # ZAND_FILE::BUFFER_MAX_SIZE - 1

lines = [
    b"alpha\0lost\n",
    b"beta\n",
    b" " * (FULL - 1 - len(b"omega")) + b"omega\0rest\n",
    b"delta\n",
    b"\0void\n",
    b" " * (FULL - len(b"spl")) + b"splitting\n",
    b" " * (FULL - len(b"kappa")) + b"kappa\0gone\n",
    b"epsilon",
]
pathlib.Path(__file__).with_name("nul_bytes.txt").write_bytes(b"".join(lines))
