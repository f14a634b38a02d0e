#!/usr/bin/env python3
"""Builds the benchmark tree: by default 500,000 files in 25,000 folders.

Usage: bench/make_tree.py ROOT [--files N] [--folders N] [--seed S]

Deterministic for a seed. Folders nest to realistic depths (most within 3 to 10 levels, a
few much deeper); extensions follow a long-tailed mix of common and rare ones in varying
letter case, with files without extension, dot-files, names ending in a dot, names with
blanks, commas and non-ASCII letters, and a few names that are not UTF-8. Sizes are sparse
(no disk is used for the content) with a long tail; modification times spread over 20 years.
"""
import argparse
import os
import random

COMMON = ["txt", "jpg", "png", "h", "c", "cpp", "py", "js", "html", "css", "json", "xml", "md",
          "pdf", "doc", "docx", "xls", "xlsx", "zip", "gz", "tar", "so", "o", "a", "log", "csv",
          "mp3", "wav", "mp4", "svg", "ico", "gif", "java", "class", "rs", "go", "sh", "conf",
          "ini", "yml", "yaml", "sql", "db", "bin", "dat", "bak", "tmp", "rst", "tex", "po"]


def extension_mix(rng):
    """(extension, weight): common ones heavy, about 350 rare ones light."""
    mix = [(ext, 200.0 / (rank + 1)) for rank, ext in enumerate(COMMON)]
    for _ in range(350):
        length = rng.randint(1, 6)
        mix.append(("".join(rng.choice("abcdefghijklmnopqrstuvwxyz0123456789") for _ in range(length)), 0.3))
    return mix


def file_name(rng, index, extensions, weights):
    roll = rng.random()
    stem = rng.choice(["file", "report", "data", "img", "notes", "main", "test", "a b", "x,y", "résumé", "Übersicht"])
    stem = f"{stem}{index}"
    if roll < 0.04:
        return (stem).encode()                      # no extension
    if roll < 0.06:
        return ("." + stem).encode()                # a dot-file
    if roll < 0.065:
        return (stem + ".").encode()                # ends in a dot
    if roll < 0.0652:
        return stem.encode() + b".\xff\xfe"         # not UTF-8
    ext = rng.choices(extensions, weights)[0]
    if rng.random() < 0.1:
        ext = ext.upper()
    if rng.random() < 0.05:
        return f"{stem}.tar.{ext}".encode()
    return f"{stem}.{ext}".encode()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--files", type=int, default=500_000)
    parser.add_argument("--folders", type=int, default=25_000)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    root = os.fsencode(args.root)
    os.makedirs(root, exist_ok=True)

    folders = [(root, 0)]
    for i in range(args.folders - 1):
        # Mostly below a recent folder (a project's own subfolders), sometimes anywhere.
        if rng.random() < 0.7:
            parent, depth = folders[rng.randrange(max(0, len(folders) - 40), len(folders))]
        else:
            parent, depth = folders[rng.randrange(len(folders))]
        if depth >= 30:
            parent, depth = root, 0
        path = os.path.join(parent, f"dir{i}".encode())
        os.mkdir(path)
        folders.append((path, depth + 1))

    mix = extension_mix(rng)
    extensions = [e for e, _ in mix]
    weights = [w for _, w in mix]
    now = 1_760_000_000
    for i in range(args.files):
        folder = folders[rng.randrange(len(folders))][0]
        path = os.path.join(folder, file_name(rng, i, extensions, weights))
        with open(path, "wb"):
            pass
        size = int(rng.lognormvariate(8, 3))
        if size:
            os.truncate(path, min(size, 4 << 30))
        when = now - rng.randrange(20 * 365 * 86400)
        os.utime(path, (when, when))
    print(f"{args.files} files in {args.folders} folders under {args.root}")


if __name__ == "__main__":
    main()
