#!/usr/bin/env python3
"""Packs the installation media into a zip: TOP/setup.exe beside TOP/plugin/, TOP/samples/
and TOP/help/ of the payload folder, so that it unpacks anywhere into one folder.

The same inputs give the same bytes, wherever and whenever they are packed: entries in
sorted order, every entry dated SOURCE_DATE_EPOCH when that is set and 1980-01-01 00:00
(the earliest date a zip holds) otherwise, fixed permissions, no owner, no extra fields.
  make-dist-zip.py OUT.zip TOP setup.exe PAYLOAD_DIR
"""
import os
import sys
import time
import zipfile

FOLDERS = ("plugin", "samples", "help")


def entry_date():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return (1980, 1, 1, 0, 0, 0)
    if not epoch.isdigit():
        sys.exit("make-dist-zip: SOURCE_DATE_EPOCH is not a number of seconds: %r" % epoch)
    return max((1980, 1, 1, 0, 0, 0), tuple(time.gmtime(int(epoch))[:6]))


def entries(top, setup, payload):
    """(name in the zip, file on disk, or None for a folder) for everything packed."""
    found = [(top + "/", None), (top + "/setup.exe", setup)]
    for folder in FOLDERS:
        source = os.path.join(payload, folder)
        if not os.path.isdir(source):
            sys.exit("make-dist-zip: %s has no %s/ folder" % (payload, folder))
        for where, dirs, files in os.walk(source):
            inside = os.path.relpath(where, payload).replace(os.sep, "/")
            found.append(("%s/%s/" % (top, inside), None))
            found += [("%s/%s/%s" % (top, inside, f), os.path.join(where, f)) for f in files]
    return sorted(found)


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: make-dist-zip.py OUT.zip TOP setup.exe PAYLOAD_DIR")
    out, top, setup, payload = sys.argv[1:]
    if not os.path.isfile(setup):
        sys.exit("make-dist-zip: no such file: %s" % setup)
    date = entry_date()
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with zipfile.ZipFile(out + ".tmp", "w") as archive:
        for name, path in entries(top, setup, payload):
            info = zipfile.ZipInfo(name, date)
            info.create_system = 3  # Unix, so that the permissions below mean something
            if path is None:
                info.external_attr = 0o40755 << 16 | 0x10  # a folder, also to MS-DOS
                archive.writestr(info, b"")
            else:
                mode = 0o755 if name.endswith(".exe") else 0o644
                info.external_attr = (0o100000 | mode) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".tmp", out)
    print("make-dist-zip: wrote %s" % out)


if __name__ == "__main__":
    main()
