#!/usr/bin/env python3
"""Writes a zip file whose bytes depend only on the files put into it.

    release_zip.py OUTPUT.zip EPOCH NAME=PATH...

The entries appear in the order given, each with the time EPOCH (seconds since 1970, UTC),
permissions rw-r--r--, no extra fields and no comment. They are stored, not compressed: the
program is small, and stored bytes do not depend on the version of the compression library of
the machine that builds the package, so anyone can rebuild the same zip.
"""
import sys
import time
import zipfile

# The earliest time a zip entry can hold.
ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC


def entry_info(name, epoch):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, ZIP_EPOCH))[:6])
    info.compress_type = zipfile.ZIP_STORED
    info.create_system = 3  # Unix, so that the permissions below mean what they say
    info.external_attr = 0o100644 << 16
    return info


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    output, epoch, entries = argv[1], int(argv[2]), argv[3:]
    with zipfile.ZipFile(output, "w") as archive:
        for entry in entries:
            name, _, path = entry.partition("=")
            with open(path, "rb") as source:
                archive.writestr(entry_info(name, epoch), source.read())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
