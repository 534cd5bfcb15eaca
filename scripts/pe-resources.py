#!/usr/bin/env python3
"""Prints what a Windows image's resources say about its identity, one fact a line, for
scripts/check-image.sh to judge:

  version.fixed.file=1.0.0.0          VS_FIXEDFILEINFO's file and product versions
  version.fixed.product=1.0.0.0
  version.translation=0409/1252       each language/code page pair of VarFileInfo
  version.<Name>=<text>               each string of the StringFileInfo tables
  icon.group=<id>                     the first icon group, the one Explorer shows
  icon.image=<W>x<H>                  each image of that group, as its own header says
  icon.fault=<what>                   an image of the group that is missing or wrong

Nothing is printed for what the image does not have. Exits 1, saying why, when the file
is not a PE image or its resource tree points outside the file.
  pe-resources.py setup.exe
"""
import struct
import sys

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections, optional_size = self.u16(pe + 6), self.u16(pe + 20)
        optional = pe + 24
        magic = self.u16(optional)
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header 0x%x" % magic)
        directories = optional + (96 if magic == 0x10B else 112)
        count = self.u32(directories - 4)
        self.rsrc_rva = self.u32(directories + 16) if count > 2 else 0
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8)
                         for i in range(sections)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address 0x%x is in no section" % rva)

    def resources(self):
        """{type: [(name, data), ...]} in the resource directory's order."""
        found = {}
        if not self.rsrc_rva:
            return found
        root = self.offset(self.rsrc_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, root + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                yield ("name" if name >> 31 else name), target

        for kind, types in entries(0):
            for name, names in entries(types & 0x7FFFFFFF):
                for _, leaf in entries(names & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(rva)
                    if start + size > len(self.data):
                        raise ValueError("resource data past the end of the file")
                    found.setdefault(kind, []).append((name, self.data[start:start + size]))
        return found


def version_node(data, at):
    """One node of VS_VERSIONINFO: (key, value bytes, value is text, children)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    end = at + length
    if length < 6 or end > len(data):
        raise ValueError("a version node of %d bytes at %d does not fit" % (length, at))
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise ValueError("a version node's key at %d has no end" % at)
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value = data[value_at:value_at + value_length * (2 if is_text else 1)]
    child = (value_at + len(value) + 3) & ~3
    children = []
    while child < end:
        children.append(version_node(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, is_text, children


def print_version(data):
    key, fixed, _, children = version_node(data, 0)
    if key != "VS_VERSION_INFO":
        print("version.fault=the version resource is %r, not VS_VERSION_INFO" % key)
        return
    if len(fixed) >= 52 and struct.unpack_from("<I", fixed)[0] == 0xFEEF04BD:
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
        for name, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
            print("version.fixed.%s=%d.%d.%d.%d" % (name, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
    for block, _, _, tables in children:
        if block == "StringFileInfo":
            for _, _, _, strings in tables:
                for name, text, _, _ in strings:
                    print("version.%s=%s" % (name, text.decode("utf-16-le").rstrip("\0")))
        elif block == "VarFileInfo":
            for _, pairs, _, _ in tables:
                for i in range(0, len(pairs) - 3, 4):
                    language, codepage = struct.unpack_from("<HH", pairs, i)
                    print("version.translation=%04x/%d" % (language, codepage))


def print_icon(groups, icons):
    name, group = groups[0]
    print("icon.group=%s" % name)
    images = dict(icons)
    for i in range(struct.unpack_from("<H", group, 4)[0]):
        width, height, _, _, _, _, _, number = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        said = "%dx%d" % (width or 256, height or 256)
        image = images.get(number)
        if image is None:
            print("icon.fault=the %s image (icon %d) is missing" % (said, number))
        elif image[:8] == b"\x89PNG\r\n\x1a\n":
            print("icon.image=%dx%d" % struct.unpack_from(">II", image, 16))
        elif len(image) >= 40 and struct.unpack_from("<I", image)[0] == 40:
            w, h = struct.unpack_from("<ii", image, 4)
            print("icon.image=%dx%d" % (w, h // 2))
        else:
            print("icon.fault=the %s image (icon %d) is neither a bitmap nor a PNG" % (said, number))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: pe-resources.py IMAGE")
    try:
        with open(sys.argv[1], "rb") as f:
            found = Image(f.read()).resources()
        if RT_VERSION in found:
            print_version(found[RT_VERSION][0][1])
        if RT_GROUP_ICON in found:
            print_icon(found[RT_GROUP_ICON], found.get(RT_ICON, []))
    except (OSError, ValueError, struct.error, UnicodeDecodeError) as e:
        sys.exit("pe-resources: %s: %s" % (sys.argv[1], e))


if __name__ == "__main__":
    main()
