"""Reads the version resource back from Windows binaries, as Explorer shows
it under Properties, Details, and checks it against the project version.

    python3 tests/version_resource_check.py VERSION FILE...

Each FILE must carry one VS_VERSION_INFO whose fixed file and product
versions are VERSION (a.b.c, as a.b.c.0) and whose strings name the file
(OriginalFilename), the version (FileVersion, ProductVersion), a
description and the licence. A small PE reader: headers, section table,
resource directory, no Windows needed.
"""
import os
import struct
import sys

RT_VERSION = 16


def _rva_to_offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return rva - va + raw
    raise ValueError("RVA %#x is in no section" % rva)


def version_resource(data):
    """The raw VS_VERSION_INFO of a PE image (bytes), or None."""
    if data[:2] != b"MZ":
        raise ValueError("not an MZ executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    nsections, opt_size = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)  # PE32 or PE32+
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, dirs + 2 * 8)
    if rsrc_size == 0:
        return None
    sections = []
    for k in range(nsections):
        s = opt + opt_size + 40 * k
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), raw))
    base = _rva_to_offset(sections, rsrc_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for k in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * k)
            yield name, target

    # Type -> name -> language -> data entry.
    for type_id, target in entries(0):
        if type_id != RT_VERSION or not target & 0x80000000:
            continue
        for _, t_name in entries(target & 0x7FFFFFFF):
            for _, t_lang in entries(t_name & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + t_lang)
                start = _rva_to_offset(sections, rva)
                return data[start:start + size]
    return None


def _align(n):
    return (n + 3) & ~3


def _blocks(buf, start, end):
    """(key, value bytes, value length, type, children start, block end)
    for each block of a version-info tree between start and end."""
    pos = start
    while pos + 6 <= end:
        length, value_len, vtype = struct.unpack_from("<HHH", buf, pos)
        if length == 0:
            break
        block_end = pos + length
        key_end = pos + 6
        while buf[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = buf[pos + 6:key_end].decode("utf-16-le")
        value_start = _align(key_end + 2)
        value_bytes = value_len * 2 if vtype == 1 else value_len
        yield key, buf[value_start:value_start + value_bytes], vtype, _align(value_start + value_bytes), block_end
        pos = _align(block_end)


def parse(raw):
    """(fixed file version, fixed product version, {string name: value})."""
    (key, value, _, children, end), = list(_blocks(raw, 0, len(raw)))[:1]
    if key != "VS_VERSION_INFO":
        raise ValueError("the resource is %r, not VS_VERSION_INFO" % key)
    sig, _, fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<IIIIII", value, 0)
    if sig != 0xFEEF04BD:
        raise ValueError("no VS_FIXEDFILEINFO")
    version = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for k, _, _, c, e in _blocks(raw, children, end):
        if k != "StringFileInfo":
            continue
        for _, _, _, table_children, table_end in _blocks(raw, c, e):
            for name, text, _, _, _ in _blocks(raw, table_children, table_end):
                strings[name] = text.decode("utf-16-le").rstrip("\0")
    return version(fv_ms, fv_ls), version(pv_ms, pv_ls), strings


def check(path, project_version):
    problems = []
    with open(path, "rb") as f:
        raw = version_resource(f.read())
    if raw is None:
        return ["%s: no version resource" % path]
    file_version, product_version, strings = parse(raw)
    want = project_version + ".0"
    for what, got in (("file version", file_version), ("product version", product_version),
                      ("FileVersion", strings.get("FileVersion")),
                      ("ProductVersion", strings.get("ProductVersion"))):
        if got not in (want, project_version):
            problems.append("%s: %s %s, expected %s" % (path, what, got, project_version))
    if strings.get("OriginalFilename", "").lower() != os.path.basename(path).lower():
        problems.append("%s: OriginalFilename %r" % (path, strings.get("OriginalFilename")))
    if "Vexal" not in strings.get("FileDescription", ""):
        problems.append("%s: FileDescription %r" % (path, strings.get("FileDescription")))
    if "MIT License" not in strings.get("LegalCopyright", ""):
        problems.append("%s: LegalCopyright %r does not name the licence" % (path, strings.get("LegalCopyright")))
    return problems


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    failures = []
    for path in argv[2:]:
        problems = check(path, argv[1])
        failures += problems
        print("%s %s" % ("FAIL" if problems else "ok  ", path))
    for f in failures:
        print("  " + f)
    print("%d passed, %d failed" % (len(argv) - 2 - len({f.split(":")[0] for f in failures}),
                                    len({f.split(":")[0] for f in failures})))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
