#!/usr/bin/env python3
"""Writes a folder as a .zip or .tar.gz whose bytes depend only on the names and contents of its
files: entries sorted by path, one fixed time, no owner, modes 755 or 644. Zip entries with
Chinese names carry the zip's UTF-8 name flag (zipfile sets it for any name beyond ASCII), so
that Windows shows them right."""
import argparse
import gzip
import os
import stat
import sys
import tarfile
import time
import zipfile


def tree(root):
    """(path relative to root with '/', full path, is_dir) for everything below root, sorted."""
    entries = []
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, root).replace(os.sep, "/")
            entries.append((rel, full, os.path.isdir(full)))
    return sorted(entries, key=lambda e: e[0].encode("utf-8"))


def mode_of(full, is_dir):
    executable = is_dir or os.stat(full).st_mode & stat.S_IXUSR
    return 0o755 if executable else 0o644


def write_zip(entries, top, mtime, output):
    date_time = time.gmtime(max(mtime, 315532800))[:6]  # zip times begin in 1980
    with zipfile.ZipFile(output, "w") as archive:
        for rel, full, is_dir in entries:
            if is_dir:
                continue  # folders come with the files in them
            info = zipfile.ZipInfo(top + rel, date_time)
            info.create_system = 3
            info.external_attr = (stat.S_IFREG | mode_of(full, False)) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


def write_tgz(entries, top, mtime, output):
    with open(output, "wb") as raw, \
            gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=mtime, compresslevel=9) as gz, \
            tarfile.open(fileobj=gz, mode="w", format=tarfile.GNU_FORMAT, encoding="utf-8") as tar:
        for rel, full, is_dir in entries:
            info = tarfile.TarInfo(top + rel)
            info.mtime = mtime
            info.mode = mode_of(full, is_dir)
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            if is_dir:
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            else:
                info.size = os.path.getsize(full)
                with open(full, "rb") as f:
                    tar.addfile(info, f)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    parser.add_argument("output", help="the archive; .zip or .tar.gz")
    parser.add_argument("--top", default="", help="folder name every entry is put under")
    parser.add_argument("--mtime", type=int,
                        default=int(os.environ.get("SOURCE_DATE_EPOCH", time.time())),
                        help="time of every entry (default: SOURCE_DATE_EPOCH, else now)")
    args = parser.parse_args()
    top = args.top.rstrip("/") + "/" if args.top else ""
    entries = tree(args.folder)
    if args.output.endswith(".zip"):
        write_zip(entries, top, args.mtime, args.output)
    elif args.output.endswith(".tar.gz"):
        write_tgz(entries, top, args.mtime, args.output)
    else:
        sys.exit(f"write_archive: {args.output}: not .zip or .tar.gz")


if __name__ == "__main__":
    main()
