#!/usr/bin/env python3
"""The ctypes structures of python/vexal/_capi.py against the C compiler:
every structure of the C API headers has, in ctypes, the size and each field
the offset and size that sizeof and offsetof give in C.

    tests/capi_layout_check.py [CC]

A field added to a header without re-running tools/gen_capi.py fails here
(and in the drift check) before it can shift what Python reads.
"""
import importlib.util
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_capi  # noqa: E402


def c_layout(cc, api):
    """{struct: (size, {field: (offset, size)})} as the C compiler lays them out."""
    lines = ["#include <stddef.h>", "#include <stdio.h>"]
    lines += ['#include "%s"' % h for h in gen_capi.HEADERS]
    lines.append("int main(void) {")
    for name, fields in api.structs:
        lines.append('  printf("%s - %%zu %%zu\\n", (size_t)0, sizeof(%s));' % (name, name))
        for field, _, _ in fields:
            lines.append('  printf("%s %s %%zu %%zu\\n", offsetof(%s, %s), sizeof(((%s *)0)->%s));'
                         % (name, field, name, field, name, field))
    lines += ["  return 0;", "}"]
    with tempfile.TemporaryDirectory() as tmp:
        src, exe = os.path.join(tmp, "layout.c"), os.path.join(tmp, "layout")
        with open(src, "w") as f:
            f.write("\n".join(lines) + "\n")
        subprocess.run([cc, "-I", ROOT, src, "-o", exe], check=True)
        out = subprocess.run([exe], check=True, capture_output=True, text=True).stdout
    layout = {}
    for line in out.splitlines():
        struct, field, a, b = line.split()
        if field == "-":
            layout[struct] = (int(b), {})
        else:
            layout[struct][1][field] = (int(a), int(b))
    return layout


def main(argv):
    cc = argv[1] if len(argv) > 1 else "cc"
    found = importlib.util.spec_from_file_location("_capi", os.path.join(ROOT, "python", "vexal", "_capi.py"))
    capi = importlib.util.module_from_spec(found)
    found.loader.exec_module(capi)
    import ctypes
    failures, checked = [], 0
    for struct, (size, fields) in c_layout(cc, gen_capi.read()).items():
        py = getattr(capi, struct, None)
        if py is None:
            failures.append("%s: no ctypes structure" % struct)
            continue
        checked += 1
        if ctypes.sizeof(py) != size:
            failures.append("%s: sizeof %d in C, %d in ctypes" % (struct, size, ctypes.sizeof(py)))
        py_fields = [f for f, _ in py._fields_]
        if py_fields != list(fields):
            failures.append("%s: fields %s in C, %s in ctypes" % (struct, list(fields), py_fields))
        for field, (offset, fsize) in fields.items():
            d = getattr(py, field, None)
            if d is not None and (d.offset, d.size) != (offset, fsize):
                failures.append("%s.%s: offset %d size %d in C, %d and %d in ctypes"
                                % (struct, field, offset, fsize, d.offset, d.size))
    for f in failures:
        print("FAIL " + f)
    print("%d passed, %d failed" % (checked - len({f.split(":")[0].split(".")[0] for f in failures}), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
