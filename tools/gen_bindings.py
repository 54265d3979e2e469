#!/usr/bin/env python3
"""Writes the C headers and the language bindings' function lists from
exports/export_table.h (the 88 exports) and precise/precise_table.h (the
precise family).

    tools/gen_bindings.py [OUTDIR]

writes OUTDIR/include/vexal.h, OUTDIR/include/vexal_precise.h,
OUTDIR/python/vexal/_exports.py and OUTDIR/vba/Vexal.bas (OUTDIR
defaults to the repository). The tables are the one list of functions and
the one description of each (summary, note, flags); everything written here
is derived from them, so re-running the generator must reproduce the
checked-in files byte for byte. A new row in either table needs a re-run,
nothing else.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = os.path.join(ROOT, "exports", "export_table.h")
PRECISE_TABLE = os.path.join(ROOT, "precise", "precise_table.h")

_TOKEN = re.compile(
    r'/\*\s*(?P<family>.*?)\s*\*/'
    r'|\bF\(\s*(?P<name>\w+)\s*,\s*\((?P<args>[^"]*?)\)\s*,\s*(?P<flags>PURE|STATE)\s*,'
    r'\s*"(?P<summary>(?:[^"\\]|\\.)*)"\s*,\s*"(?P<note>(?:[^"\\]|\\.)*)"\s*\)',
    re.S)
_ARG = re.compile(r'([NA])\(\s*(\w+)\s*\)')

# Words VBA will not take as a parameter name (statements and keywords that
# the table's argument names happen to meet).
VBA_RENAMES = {"open": "openPrices", "close": "closePrices", "input": "inputs", "name": "name_"}


class Export:
    def __init__(self, name, args, summary, family, note="", state=False):
        self.name = name
        self.args = args          # [(arg_name, "num" | "arr")]
        self.summary = summary
        self.note = note          # edges, units, special cases; "" where the summary says all
        self.family = family      # the family comment: "title; prose"
        self.state = state        # STATE: reads or writes module state

    @property
    def title(self):
        """The family's title, without its prose."""
        return self.family.split(";")[0]

    @property
    def count_at(self):
        """The count rule: the position of the number argument named n or
        count that sizes the arrays, or None (exports/export_info.h,
        count_argument, is the C++ side of the same rule)."""
        return next((i for i, (a, k) in enumerate(self.args) if k == "num" and a in ("n", "count")), None)

    @property
    def description(self):
        """The summary with its note: one sentence for a comment or a docstring."""
        return self.summary + ("; " + self.note if self.note else "")

    @property
    def stack_bytes(self):
        return sum(4 if kind == "arr" else 8 for _, kind in self.args)

    @property
    def decorated(self):
        return "%s@%d" % (self.name, self.stack_bytes)


def read_table(path=TABLE, macro="VEXAL_EXPORT_TABLE"):
    """The exports of the table, in table order, each with its family comment."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    head = "#define %s(F)" % macro
    start = text.index(head)
    end = text.index("\n\n", start)
    body = text[start + len(head):end].replace("\\\n", "\n")
    exports, family = [], ""
    for m in _TOKEN.finditer(body):
        if m.group("family") is not None:
            family = m.group("family")
            continue
        args_text = m.group("args")
        args = [(arg, "arr" if kind == "A" else "num") for kind, arg in _ARG.findall(args_text)]
        if _ARG.sub("", args_text).replace(",", "").strip():
            raise ValueError("cannot read the arguments of %s: %r" % (m.group("name"), args_text))
        unescape = lambda s: s.replace('\\"', '"')
        exports.append(Export(m.group("name"), args, unescape(m.group("summary")), family,
                              unescape(m.group("note")), m.group("flags") == "STATE"))
    if len(re.findall(r"\bF\(", body)) != len(exports):
        raise ValueError("%s: a row of %s does not read as F(name, (args), PURE|STATE, \"summary\", \"note\")"
                         % (path, macro))
    names = [e.name for e in exports]
    if len(set(names)) != len(names):
        raise ValueError("the table names an export twice")
    return exports


def read_precise(path=PRECISE_TABLE):
    """The precise family, in table order; every name has the precise_
    prefix and every argument is a number."""
    rows = read_table(path, "VEXAL_PRECISE_TABLE")
    for e in rows:
        if not e.name.startswith("precise_") or any(kind != "num" for _, kind in e.args):
            raise ValueError("precise table: %s must be named precise_... and take numbers only" % e.name)
    return rows


def c_symbol(e):
    """The C symbol of a precise function: vexal_precise_call_eur."""
    return "vexal_" + e.name


def python_module(exports, precise):
    def rows(variable, table, fields):
        out = ["%s = (" % variable]
        for e in table:
            args = "".join("(%r, %r), " % a for a in e.args).rstrip(" ")
            out.append("    (%r, (%s), %s)," % (e.name, args, ", ".join("%r" % f for f in fields(e))))
        return out
    out = ['# Generated by tools/gen_bindings.py from exports/export_table.h and precise/precise_table.h;',
           '# do not edit.',
           '# One row per export, in table order:',
           '#   (name, ((argument, "num" | "arr"), ...), Win32 argument bytes, summary, family)']
    out += rows("EXPORTS", exports, lambda e: (e.stack_bytes, e.summary, e.family))
    out += [")", "",
            "# The precise family (vexal.precise), one row per function, in table order; the C",
            "# symbol is vexal_ + name (libvexal.so, Vexal64.dll; not in the 32-bit Vexal.dll,",
            "# whose companion VexalPrecise.dll exports name@bytes, __stdcall):",
            '#   (name, ((argument, "num" | "arr"), ...), summary, family)']
    out += rows("PRECISE", precise, lambda e: (e.summary, e.family))
    out += [")", "",
            "# What else the tables say of a function, by name: its note (edges, units, special",
            "# cases), the exports flagged STATE, and the position of the count argument that",
            "# sizes the arrays (the count rule).",
            "NOTES = {"]
    out += ["    %r: %r," % (e.name, e.note) for e in list(exports) + list(precise) if e.note]
    out += ["}", "STATE = frozenset(("]
    out += ["    %r," % e.name for e in exports if e.state]
    out += ["))", "COUNT_AT = {"]
    out += ["    %r: %d," % (e.name, e.count_at) for e in list(exports) + list(precise) if e.count_at is not None]
    out.append("}")
    return "\n".join(out) + "\n"


def c_comment(text, indent="", width=100):
    """text as a C comment wrapped to width."""
    words, lines, line = text.split(), [], indent + "/*"
    for w in words:
        if len(line) + 1 + len(w) > width - 3 and line.strip() != "/*":
            lines.append(line)
            line = indent + "  "
        line += " " + w
    lines.append(line + " */")
    return lines


C_HEADER_TOP = """/*
 * vexal.h: the C interface of the Vexal library (libvexal.so, Vexal64.dll,
 * Vexal.dll).
 * Generated by tools/gen_bindings.py from exports/export_table.h; do not edit.
 *
 * Every function takes numbers (double) and arrays (const double *, the
 * address of element 0 of an array the caller owns) and returns one double.
 * Counts, step numbers and flags are passed as doubles too. Each array
 * comes with a count argument (n or count): the function reads elements
 * 0 .. nearest(count - 1) of it, so the array must hold at least that
 * many; nothing is checked. Bad input is not reported: the result is what
 * the arithmetic gives (NaN, an infinity), and actions return 1.0.
 *
 * Times: T, t, dt and dividend times are in one time unit of your choice
 * (years for annual rates); r, q, mu and sigma are per that unit (sigma per
 * square root of it). Greeks are per 1.0 of the bumped argument: vega per
 * 1.0 of sigma (not per percentage point), rho per 1.0 of r, theta per time
 * unit with the sign of time passing (-d price / d T).
 *
 * Threads: the pure functions may run in any number of threads at once.
 * The GARCH fit (Price_input, garch_*), the Kelly fit (kelly_*) and the
 * generator (RanMT*, gaussMT, F_NextPrice) keep module state shared by the
 * whole process: call each family from one thread at a time. vexal_batch.h
 * has fits on state the caller owns, and whole arrays on all cores.
 *
 * On 32-bit Windows the functions are __stdcall and exported as name@bytes
 * (call_eur@48); link with the import library and call them by plain name.
 * On 64-bit Windows (Vexal64.dll) they are exported under their plain names.
 */
#ifndef VEXAL_H
#define VEXAL_H

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define VEXAL_CALL __stdcall
#else
#define VEXAL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif"""


def c_params(e):
    return ", ".join(("const double *%s" if kind == "arr" else "double %s") % a for a, kind in e.args) or "void"


def c_header(exports):
    out = C_HEADER_TOP.split("\n")
    family = None
    for e in exports:
        if e.family != family:
            family = e.family
            out += [""] + c_comment("---- %s ----" % family) + [""]
        out += c_comment(e.description)
        out.append("double VEXAL_CALL %s(%s);" % (e.name, c_params(e)))
    out += ["", "#ifdef __cplusplus", "}", "#endif", "", "#endif /* VEXAL_H */"]
    return "\n".join(out) + "\n"


def c_precise_header(precise):
    out = ["/*",
           " * vexal_precise.h: the precise family of the Vexal library (libvexal.so,",
           " * Vexal64.dll, and the static library on every platform).",
           " * Generated by tools/gen_bindings.py from precise/precise_table.h; do not edit.",
           " *",
           " * The same arguments, units and conventions as the functions of vexal.h",
           " * with the same name less the precise_ prefix (vexal_precise_call_eur and",
           " * call_eur), accurate to the last few bits of a double (docs/precise.md).",
           " * Every function is pure: any number of threads may call them at once, and",
           " * vexal_map (vexal_batch.h) takes them by table name (\"precise_call_eur\").",
           " *",
           " * The 32-bit Vexal.dll keeps exactly the 88 functions of vexal.h and does",
           " * not export these. On 32-bit Windows link the static library, or load its",
           " * companion VexalPrecise.dll, which exports them as __stdcall functions under",
           " * their table names, decorated (precise_call_eur@48), not under these symbols.",
           " */",
           "#ifndef VEXAL_PRECISE_H",
           "#define VEXAL_PRECISE_H",
           "",
           "/* The library defines VEXAL_PRECISE_API to export these; users leave it empty. */",
           "#ifndef VEXAL_PRECISE_API",
           "#define VEXAL_PRECISE_API",
           "#endif",
           "",
           "#ifdef __cplusplus",
           'extern "C" {',
           "#endif"]
    family = None
    for e in precise:
        if e.family != family:
            family = e.family
            out += ["", "/* ---- %s ---- */" % family, ""]
        out += c_comment(e.description)
        out.append("VEXAL_PRECISE_API double %s(%s);" % (c_symbol(e), c_params(e)))
    out += ["", "#ifdef __cplusplus", "}", "#endif", "", "#endif /* VEXAL_PRECISE_H */"]
    return "\n".join(out) + "\n"


def vba_name(arg):
    return VBA_RENAMES.get(arg.lower(), arg)


# Words VBA reserves (statements, operators, types and the built-in
# functions a Declare may not shadow without confusion). A function of that
# name is declared under vx_name with an Alias for the name in the DLL.
VBA_RESERVED = {
    "and", "as", "boolean", "byref", "byte", "byval", "call", "case", "close", "const", "currency",
    "date", "declare", "dim", "do", "double", "each", "else", "end", "enum", "eqv", "erase", "error",
    "event", "exit", "false", "for", "friend", "function", "get", "global", "gosub", "goto", "if",
    "imp", "implements", "in", "input", "integer", "is", "let", "lib", "like", "long", "longlong",
    "longptr", "loop", "lset", "me", "mod", "new", "next", "not", "nothing", "null", "object", "on",
    "open", "option", "optional", "or", "paramarray", "preserve", "print", "private", "property",
    "public", "put", "raiseevent", "redim", "rem", "resume", "return", "rset", "seek", "select",
    "set", "single", "static", "step", "stop", "string", "sub", "then", "to", "true", "type",
    "typeof", "until", "variant", "wend", "while", "with", "withevents", "write", "xor",
    "abs", "atn", "cos", "exp", "fix", "int", "log", "rnd", "sgn", "sin", "sqr", "tan", "val",
}


def vba_function_name(exports, e):
    """The name VBA declares an export under: its own, unless VBA reserves it
    or another identifier of the module differs from it in case only (the
    editor would then re-case one of them, and a Declare without Alias would
    ask the DLL for the re-cased name)."""
    others = {vba_name(a) for x in exports for a, _ in x.args} | {x.name for x in exports if x is not e}
    clash = any(o.lower() == e.name.lower() and o != e.name for o in others)
    valid = re.fullmatch(r"[A-Za-z]\w{0,254}", e.name) is not None
    return e.name if valid and not clash and e.name.lower() not in VBA_RESERVED else "vx_" + e.name


def vba_params(e):
    params, seen = [], set()
    for arg, kind in e.args:
        name = vba_name(arg)
        if name.lower() in seen:
            raise ValueError("%s: VBA would see the argument %s twice" % (e.name, name))
        seen.add(name.lower())
        params.append(("ByRef %s As Double" if kind == "arr" else "ByVal %s As Double") % name)
    return ", ".join(params)


def vba_module(exports, precise=()):
    out = ['Attribute VB_Name = "Vexal"',
           "' Vexal for Excel, one module for both Office bitnesses: 64-bit Office loads",
           "' Vexal64.dll (plain names), 32-bit Office loads Vexal.dll (decorated names).",
           "' Generated by tools/gen_bindings.py from exports/export_table.h and precise/precise_table.h;",
           "' do not edit.",
           "'",
           "' Numbers go ByVal As Double. An array goes ByRef As Double: pass its first",
           "' element, e.g. Price_sd(prices(1), 21) for a 21-element array prices(1 To 21).",
           "' The count argument (n or count) says how many elements the library reads;",
           "' the array must hold at least that many. Counts, steps and flags are Doubles too.",
           "' The GARCH, Kelly and generator functions keep state inside the DLL: call them",
           "' from one place at a time (reset, load, fit, then read the results).",
           "' The precise family (precise_call_eur and the rest: the same arguments, accurate",
           "' to the last bits) is in Vexal64.dll, and for 32-bit Office in VexalPrecise.dll,",
           "' the companion of Vexal.dll (which keeps exactly the 88 legacy functions).",
           "",
           "Option Explicit",
           ""]
    everything = list(exports) + list(precise)
    for branch, dll, precise_dll in (("#If Win64 Then", "Vexal64.dll", "Vexal64.dll"),
                                     ("#Else", "Vexal.dll", "VexalPrecise.dll")):
        out.append(branch)
        family = None
        for e in exports:
            if e.family != family:
                family = e.family
                out.append("' " + family)
            out.append("' %s" % e.description)
            name = vba_function_name(everything, e)
            # Every Declare names its entry point: the editor re-cases a name
            # across the project, and would re-case the one asked of the DLL.
            alias = e.decorated if dll == "Vexal.dll" else e.name
            out.append('Public Declare PtrSafe Function %s Lib "%s" Alias "%s" (%s) As Double'
                       % (name, dll, alias, vba_params(e)))
        for e in precise:
            if e.family != family:
                family = e.family
                out.append("' " + family)
            out.append("' %s" % e.description)
            alias = e.decorated if precise_dll == "VexalPrecise.dll" else c_symbol(e)
            out.append('Public Declare PtrSafe Function %s Lib "%s" Alias "%s" (%s) As Double'
                       % (vba_function_name(everything, e), precise_dll, alias, vba_params(e)))
    out.append("#End If")
    return "\r\n".join(out) + "\r\n"


def write(path, text, newline="\n"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def main(argv):
    outdir = argv[1] if len(argv) > 1 else ROOT
    exports, precise = read_table(), read_precise()
    write(os.path.join(outdir, "python", "vexal", "_exports.py"), python_module(exports, precise))
    write(os.path.join(outdir, "vba", "Vexal.bas"), vba_module(exports, precise))
    write(os.path.join(outdir, "include", "vexal.h"), c_header(exports))
    write(os.path.join(outdir, "include", "vexal_precise.h"), c_precise_header(precise))
    print("%d exports and %d precise functions written under %s" % (len(exports), len(precise), outdir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
