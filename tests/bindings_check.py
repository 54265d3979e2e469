"""The header, the VBA module and the generated Python list against the export
table and the precise table.

    python3 tests/bindings_check.py header|vba|drift

header: include/vexal.h declares exactly the table's exports, each with the
        table's argument names in order, double for a number and
        const double * for an array, returning double through VEXAL_CALL.
vba:    vba/Vexal.bas has one Declare per export in each branch:
        under #If Win64 from Vexal64.dll with the plain name as Alias, under
        #Else from Vexal.dll with the decorated name as Alias (every Declare
        names its entry point, whatever case the editor gives its name); numbers
        ByVal and arrays ByRef, in the table's argument order. The precise
        family is declared in both branches, never from Vexal.dll: under
        #If Win64 from Vexal64.dll with Alias "vexal_<name>", under #Else
        from VexalPrecise.dll with the decorated name as Alias.
drift:  re-running tools/gen_bindings.py reproduces the checked-in files
        (python/vexal/_exports.py, vba/Vexal.bas, include/vexal_precise.h).
"""
import filecmp
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_bindings  # noqa: E402

TABLE = gen_bindings.read_table()
PRECISE = gen_bindings.read_precise()
FAILURES = []


def fail(message):
    FAILURES.append(message)


def compare(kind, declared, rows=TABLE):
    """declared: {name: [(arg, 'num'|'arr')]} read from a binding."""
    table = {e.name: e.args for e in rows}
    for name in sorted(set(table) - set(declared)):
        fail("%s: %s is missing" % (kind, name))
    for name in sorted(set(declared) - set(table)):
        fail("%s: %s is not in the table" % (kind, name))
    for name in sorted(set(table) & set(declared)):
        if declared[name] != list(table[name]):
            fail("%s: %s has %s, the table %s" % (kind, name, declared[name], list(table[name])))
    return len(table) - len([f for f in FAILURES if f.startswith(kind)])


def check_header():
    with open(os.path.join(ROOT, "include", "vexal.h"), encoding="utf-8") as f:
        text = re.sub(r"/\*.*?\*/", " ", f.read(), flags=re.S)
    code = "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    decls = re.findall(r"^[ \t]*(\w[\w \t]*?)[ \t]+VEXAL_CALL\s+(\w+)\s*\(([^)]*)\)\s*;", code, flags=re.M)
    declared = {}
    for ret, name, params in decls:
        if ret.split() != ["double"]:
            fail("header: %s returns %s" % (name, ret))
        if name in declared:
            fail("header: %s declared twice" % name)
        args = []
        params = params.strip()
        if params != "void":
            for p in params.split(","):
                m = re.fullmatch(r"\s*(const\s+double\s*\*|double)\s*(\w+)\s*", p)
                if not m:
                    fail("header: %s: cannot read parameter %r" % (name, p))
                    continue
                args.append((m.group(2), "arr" if "*" in m.group(1) else "num"))
        declared[name] = args
    if len(decls) != 88:
        fail("header: %d declarations, expected 88" % len(decls))
    if 'extern "C"' not in text or "__stdcall" not in text:
        fail('header: extern "C" or the __stdcall calling convention is missing')
    return compare("header", declared)


def check_vba():
    with open(os.path.join(ROOT, "vba", "Vexal.bas"), encoding="utf-8", newline="") as f:
        raw = f.read()
    if "\n" in raw.replace("\r\n", ""):
        fail("vba: lines must end with CRLF")
    decl = re.compile(r'^Public Declare PtrSafe Function (\w+) Lib "([\w.]+)" Alias "([\w@]+)" \((.*)\) As Double$')
    renames = {v: k for k, v in gen_bindings.VBA_RENAMES.items()}
    by_name = {e.name: e for e in TABLE + PRECISE}
    precise = {gen_bindings.c_symbol(e): e.name for e in PRECISE}
    # Which branch a line is in: None outside, then "Win64" and "Win32".
    branches = {"Win64": {}, "Win32": {}}
    branch, order = None, []
    for line in raw.split("\r\n"):
        if line.startswith("#"):
            order.append(line)
            branch = {"#If Win64 Then": "Win64", "#Else": "Win32"}.get(line)
            continue
        if "Declare" not in line:
            continue
        m = decl.match(line)
        if not m or branch is None:
            fail("vba: cannot read %r" % line if not m else "vba: a declaration outside #If Win64: %r" % line)
            continue
        vb_name, lib, alias, params = m.groups()
        # The DLL's name for the function, and the export of the table it is.
        export = precise.get(alias, alias.split("@")[0])
        kind = "vba %s" % branch
        args = []
        for p in filter(None, (s.strip() for s in params.split(","))):
            pm = re.fullmatch(r"(ByVal|ByRef) (\w+) As Double", p)
            if not pm:
                fail("%s: %s: cannot read parameter %r" % (kind, vb_name, p))
                continue
            args.append((renames.get(pm.group(2), pm.group(2)), "arr" if pm.group(1) == "ByRef" else "num"))
        if export in branches[branch]:
            fail("%s: %s declared twice" % (kind, export))
        branches[branch][export] = args
        e = by_name.get(export)
        if e is None:
            continue
        want_name = gen_bindings.vba_function_name(TABLE + PRECISE, e)
        if vb_name != want_name:
            fail("%s: %s declared as %s" % (kind, export, vb_name))
        if export in precise.values() and branch == "Win64":
            want_lib, want_alias = "Vexal64.dll", gen_bindings.c_symbol(e)
        elif export in precise.values():
            want_lib, want_alias = "VexalPrecise.dll", e.decorated
        elif branch == "Win64":
            want_lib, want_alias = "Vexal64.dll", e.name
        else:
            want_lib, want_alias = "Vexal.dll", e.decorated
        if lib != want_lib or alias != want_alias:
            fail("%s: %s from %s alias %s, expected %s alias %s" % (kind, export, lib, alias, want_lib, want_alias))
    if order != ["#If Win64 Then", "#Else", "#End If"]:
        fail("vba: conditional lines %s, expected #If Win64 Then, #Else, #End If" % order)
    passed = 0
    for branch, declared in branches.items():
        rows = TABLE + PRECISE
        if len(declared) != len(rows):
            fail("vba %s: %d declarations, expected %d" % (branch, len(declared), len(rows)))
        passed += compare("vba " + branch, declared, rows)
    return passed


def check_drift():
    with tempfile.TemporaryDirectory() as tmp:
        for generator in ("gen_bindings.py", "gen_capi.py"):
            subprocess.run([sys.executable, os.path.join(ROOT, "tools", generator), tmp],
                           check=True, stdout=subprocess.DEVNULL)
        # Every file the generator writes, whatever it comes to write.
        files = sorted(os.path.relpath(os.path.join(d, f), tmp) for d, _, fs in os.walk(tmp) for f in fs)
        for rel in files:
            if not filecmp.cmp(os.path.join(tmp, rel), os.path.join(ROOT, rel), shallow=False):
                fail("drift: %s differs from what tools/gen_bindings.py and tools/gen_capi.py write; re-run them"
                     % rel)
    return len(files) - len(FAILURES)


def main(argv):
    checks = {"header": check_header, "vba": check_vba, "drift": check_drift}
    names = argv[1:] or sorted(checks)
    passed = 0
    for name in names:
        passed += max(0, checks[name]())
    for f in FAILURES:
        print(f)
    print("%d passed, %d failed" % (passed, len(FAILURES)))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
