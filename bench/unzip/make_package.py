#!/usr/bin/env python3
"""Writes a tool-like package tree of about 200 MB: a few large binaries (part incompressible, part
text-like) and about 2,150 small files in nested folders. Usage: make_package.py FOLDER"""
import os
import random
import sys

root = sys.argv[1]
rng = random.Random(2026)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))) for _ in range(4000)]
corpus = b" ".join(rng.choice(words) for _ in range(250_000))  # about 1.6 MB of text-like bytes


def blob(size):
    """Mixed content: 64 KB blocks, a third random, the rest sliced from the text corpus."""
    parts, left = [], size
    while left > 0:
        n = min(65536, left)
        if rng.random() < 0.35:
            parts.append(os.urandom(n))
        else:
            at = rng.randrange(0, len(corpus) - n)
            parts.append(corpus[at:at + n])
        left -= n
    return b"".join(parts)


def write(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


total = 0
for i, size in enumerate([48, 36, 24, 16, 12, 8]):
    write(f"bin/module{i}.dll", blob(size << 20))
    total += size << 20
n = 0
while total < 200 << 20 or n < 2150:
    size = int(rng.lognormvariate(9.2, 1.3))  # median about 10 KB
    size = min(size, 400_000)
    write(f"data/pack{n % 23:02d}/sub{n % 7}/item{n:05d}.{rng.choice(['xml', 'png', 'txt', 'lng', 'dat'])}",
          blob(size))
    total += size
    n += 1
print(f"{n + 6} files, {total / 2**20:.0f} MB in {root}")
