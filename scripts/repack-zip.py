#!/usr/bin/env python3
"""Rewrites a zip with its entries in name order, every entry stamped with the
same time (SOURCE_DATE_EPOCH, UTC) and fixed attributes, and no extra fields:
the parts of a zip CPack leaves to the file system and the packer's clock.
Usage: repack-zip.py IN.zip OUT.zip"""
import os
import sys
import time
import zipfile


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: repack-zip.py IN.zip OUT.zip")
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        sys.exit("repack-zip.py: SOURCE_DATE_EPOCH must be set to the commit time (seconds)")
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]   # a zip's times start in 1980
    with zipfile.ZipFile(sys.argv[1]) as source, \
            zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as target:
        for entry in sorted(source.infolist(), key=lambda e: e.filename):
            if entry.is_dir():
                continue
            info = zipfile.ZipInfo(entry.filename, date_time=stamp)
            info.create_system = 3   # Unix, so the attributes below are read
            program = entry.filename.lower().endswith((".exe", ".dll"))
            info.external_attr = (0o100755 if program else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            target.writestr(info, source.read(entry))


if __name__ == "__main__":
    main()
