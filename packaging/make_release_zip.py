#!/usr/bin/env python3
"""Packs the release zip so that the same inputs always give the same bytes.

    make_release_zip.py --output DIR/NAME.zip --source-dir REPO --version V NAME=PATH...

Every file sits in one top folder, LexoraDX-V/. Each NAME=PATH adds the file
PATH under NAME, in the order given; SHA256SUMS, the checksums of those files
as packed, comes last. Every file but a .dll is text for Windows users: its
lines end with CR LF and "@VERSION@" reads V. Every entry carries the time of the
last commit of REPO (SOURCE_DATE_EPOCH overrides it), the same attributes and
the same compression, whatever the files' own times and modes, so the archive
depends on the files' bytes alone. The zip is also unpacked into DIR/NAME/,
which is what the tests load the packaged DLL from (DIR/NAME/LexoraDX-V/).
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can carry
FILE_ATTRIBUTE_ARCHIVE = 0x20  # what Windows gives a new file


def release_time(source_dir):
    """Seconds since 1970: SOURCE_DATE_EPOCH, else the last commit's time."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        done = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                              capture_output=True, text=True, check=True)
        return int(done.stdout.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return ZIP_EPOCH  # not a checkout: still a fixed time


def entry(name, seconds):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(seconds, ZIP_EPOCH))[:6])
    info.create_system = 0  # made "on MS-DOS": no Unix owner or mode bits
    info.external_attr = FILE_ATTRIBUTE_ARCHIVE  # zero would make zipfile add Unix bits
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def packed(name, data, version):
    """The bytes of file `name` as the zip holds them."""
    if name.lower().endswith(".dll"):
        return data
    text = data.replace(b"\r\n", b"\n").replace(b"@VERSION@", version.encode("ascii"))
    return text.replace(b"\n", b"\r\n")


def checksums(contents):
    lines = [f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in contents]
    return "".join(lines).encode("ascii")


def write_zip(output, files, seconds, version):
    top = f"LexoraDX-{version}/"
    contents = []
    for name, path in files:
        with open(path, "rb") as f:
            contents.append((name, packed(name, f.read(), version)))
    contents.append(("SHA256SUMS", packed("SHA256SUMS", checksums(contents), version)))
    partial = output + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data in contents:
            archive.writestr(entry(top + name, seconds), data, compresslevel=9)
    os.replace(partial, output)


def unpack_beside(output):
    folder = os.path.splitext(output)[0]
    shutil.rmtree(folder, ignore_errors=True)
    with zipfile.ZipFile(output) as archive:
        archive.extractall(folder)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("files", nargs="+", metavar="NAME=PATH")
    args = parser.parse_args()
    files = [tuple(item.split("=", 1)) for item in args.files]
    if any(len(pair) != 2 or not pair[0] for pair in files):
        parser.error("each file is given as NAME=PATH")
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    write_zip(args.output, files, release_time(args.source_dir), args.version)
    unpack_beside(args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
