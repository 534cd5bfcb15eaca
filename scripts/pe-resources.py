#!/usr/bin/python3
"""Prints what a Windows image's resources say about its identity, one fact a line, for
scripts/check-image.sh to judge:

  version.fixed.file=1.0.0.0          VS_FIXEDFILEINFO's file and product versions
  version.fixed.product=1.0.0.0
  version.translation=0409/1252       the language/code page pair of VarFileInfo
  version.<Name>=<text>               each string of the StringFileInfo tables
  icon.group=<id>                     the first icon group, the one Explorer shows
  icon.image=<W>x<H>                  each image of that group, as its own header says
  icon.fault=<what>                   an image of the group that is missing or wrong

Nothing is printed for what the image does not have. Exits 1, saying why, when the file
is not a PE image or its resource tree points outside the file. The PE and resource
parsing is Debian's python3-pefile (for Debian's own /usr/bin/python3).
  pe-resources.py setup.exe
"""
import struct
import sys

import pefile

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16


def resources(pe):
    """{type: [(name, data), ...]} in the resource directory's order."""
    found = {}
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in directory.entries if directory else []:
        for name in kind.directory.entries:
            for leaf in name.directory.entries:
                rva, size = leaf.data.struct.OffsetToData, leaf.data.struct.Size
                try:
                    start = pe.get_offset_from_rva(rva)
                except pefile.PEFormatError:
                    raise ValueError("address 0x%x is in no section" % rva)
                if start is None or start + size > len(pe.__data__):
                    raise ValueError("resource data past the end of the file")
                key = "name" if name.id is None else name.id
                found.setdefault(kind.id, []).append((key, pe.__data__[start:start + size]))
    return found


def text(raw):
    return raw.decode("utf-8", "replace") if isinstance(raw, bytes) else str(raw)


def print_version(pe):
    infos = getattr(pe, "VS_VERSIONINFO", [])
    if not infos:
        return
    key = text(getattr(infos[0], "Key", b""))
    if key != "VS_VERSION_INFO":
        print("version.fault=the version resource is %r, not VS_VERSION_INFO" % key)
        return
    fixed = getattr(pe, "VS_FIXEDFILEINFO", [])
    if fixed and fixed[0].Signature == 0xFEEF04BD:
        f = fixed[0]
        for name, ms, ls in (("file", f.FileVersionMS, f.FileVersionLS),
                             ("product", f.ProductVersionMS, f.ProductVersionLS)):
            print("version.fixed.%s=%d.%d.%d.%d" % (name, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
    for block in (getattr(pe, "FileInfo", None) or [[]])[0]:
        for table in getattr(block, "StringTable", []):
            for name, value in table.entries.items():
                print("version.%s=%s" % (text(name), text(value).rstrip("\0")))
        for var in getattr(block, "Var", []):
            for pair in getattr(var, "entry", {}).values():
                language, codepage = (int(word, 16) for word in pair.split())
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
        pe = pefile.PE(sys.argv[1], fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        found = resources(pe)
        if RT_VERSION in found:
            print_version(pe)
        if RT_GROUP_ICON in found:
            print_icon(found[RT_GROUP_ICON], found.get(RT_ICON, []))
    except (OSError, ValueError, struct.error, UnicodeDecodeError, pefile.PEFormatError) as e:
        sys.exit("pe-resources: %s: %s" % (sys.argv[1], e))


if __name__ == "__main__":
    main()
