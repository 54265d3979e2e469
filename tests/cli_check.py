"""The vexal CLI from the outside: the export list, help, usage errors, --json,
CSV columns and calls in sequence.

    python3 tests/cli_check.py PATH_TO_vexal
    python3 tests/cli_check.py wine PATH_TO_vexal.exe

The list of exports is compared with python/vexal/_exports.py, which
tools/gen_bindings.py writes from the export table and the precise table.
The 32-bit CLI (vexal.exe over Vexal.dll) calls the precise family in
VexalPrecise.dll, and says so clearly where that file is missing.
"""
import json
import math
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "python"))
from vexal._exports import EXPORTS, PRECISE  # noqa: E402

C1 = 2.328306437080797e-10
CLI = None
WIN32 = False  # the 32-bit CLI: Vexal.dll has no precise family, its companion VexalPrecise.dll has
results = {"passed": 0, "failed": 0}


def vexal(*args):
    p = subprocess.run([*CLI, *args], capture_output=True, text=True, timeout=60,
                       env=dict(os.environ, WINEDEBUG="-all"))
    return p.returncode, p.stdout.replace("\r\n", "\n"), p.stderr.replace("\r\n", "\n")


def check(what, ok, detail=""):
    if ok:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print("FAIL %s%s" % (what, (": " + detail) if detail else ""))


def expect_ok(what, *args):
    rc, out, err = vexal(*args)
    check(what, rc == 0, "exit %d, stderr %r" % (rc, err))
    return out


def expect_usage_error(what, pattern, *args):
    rc, out, err = vexal(*args)
    check(what, rc == 2 and re.search(pattern, err) is not None and out == "",
          "exit %d, stdout %r, stderr %r" % (rc, out, err))


def same_result(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def check_list():
    out = expect_ok("list", "list")
    out, _, precise = out.partition("\n\n")
    check_precise_list(precise)
    listed = {}
    for line in out.splitlines():
        m = re.match(r"^(\w+@\d+)\s+(\w+)\((.*?)\)\s+(.*)$", line)
        if not m:
            check("list line", False, repr(line))
            continue
        listed[m.group(2)] = (m.group(1), m.group(3), m.group(4))
    check("list has 88 lines", len(out.splitlines()) == 88, str(len(out.splitlines())))
    for name, args, stack_bytes, summary, _family in EXPORTS:
        want = ("%s@%d" % (name, stack_bytes), ", ".join(a + ("[]" if k == "arr" else "") for a, k in args), summary)
        check("list entry %s" % name, listed.get(name) == want, "%r != %r" % (listed.get(name), want))
    extra = set(listed) - {row[0] for row in EXPORTS}
    check("list has nothing else", not extra, str(extra))


def precise_symbol(name, args):
    """The name the CLI's library exports a precise function by: its C symbol,
    or on the 32-bit CLI its decorated name in VexalPrecise.dll."""
    if WIN32:
        return "%s@%d" % (name, sum(4 if kind == "arr" else 8 for _, kind in args))
    return "vexal_" + name


def check_precise_list(text):
    """The precise family after a blank line: a heading, then one line per
    function with the name its library exports it by."""
    lines = text.splitlines()
    check("list: the precise group has a heading", bool(lines) and lines[0].startswith("precise family"), text)
    check("list: the 32-bit CLI names VexalPrecise.dll", not WIN32 or "VexalPrecise.dll" in lines[0], text)
    want = ["%s %s(%s) %s" % (precise_symbol(name, args), name,
                              ", ".join(a + ("[]" if k == "arr" else "") for a, k in args), summary)
            for name, args, summary, _family in PRECISE]
    check("list: the precise group is the precise table", [" ".join(l.split()) for l in lines[1:]] == want,
          "\n".join(lines[1:]))


def check_precise(tmp):
    """Help, a call, calls in sequence and map for the precise family; on
    the 32-bit CLI without VexalPrecise.dll beside it, a clear error that
    leaves the legacy functions working."""
    name, args, summary, _family = next(r for r in PRECISE if r[0] == "precise_call_eur")
    out = expect_ok("help precise_call_eur", "help", name)
    check("help precise_call_eur content", out.startswith(name) and precise_symbol(name, args) in out
          and summary in out
          and all(re.search(r"^\s+%d\. %s\s+number" % (i + 1, a), out, re.M) for i, (a, _) in enumerate(args)), out)
    call = ["precise_call_eur", "100", "100", "1", "0.05", "0.2", "0"]
    out = expect_ok("demo", "demo")
    check("demo shows the precise family", "precise_call_eur" in out, out)
    if WIN32:
        alone = os.path.join(tmp, "alone")
        os.makedirs(alone)
        for f in ("vexal.exe", "Vexal.dll"):
            with open(os.path.join(os.path.dirname(CLI[-1]), f), "rb") as src, \
                    open(os.path.join(alone, f), "wb") as dst:
                dst.write(src.read())
        saved = CLI[:]
        CLI[-1] = os.path.join(alone, "vexal.exe")
        for what, words in [("a precise call", call), ("a precise call after a legacy one", ["norm", "0", "--"] + call)]:
            rc, out, err = vexal(*words)
            check("without VexalPrecise.dll, " + what + " fails clearly", rc == 1 and out == "" and re.search(
                r"precise_call_eur is in the precise family, which the 32-bit Vexal\.dll does not have; it is in "
                r"VexalPrecise\.dll, which belongs beside Vexal\.dll", err) is not None, repr((rc, out, err)))
        expect_ok("without VexalPrecise.dll, a legacy call", "norm", "0")
        check("without VexalPrecise.dll, the demo leaves the precise family out", "precise" not in
              expect_ok("without VexalPrecise.dll, the demo", "demo"))
        CLI[:] = saved
    v = float(expect_ok("precise_call_eur", *call))
    check("precise_call_eur value", abs(v - 10.450583572185565) <= 1e-13 * 10.45, repr(v))
    rc, out, err = vexal("--json", "precise_snorm", "-37", "--", "snorm", "-37", "--", "precise_norm", "nan")
    try:
        data = [d["result"] for d in json.loads(out)]
    except ValueError:
        data = None
    check("precise and legacy calls in one sequence", rc == 0 and data is not None and len(data) == 3
          and 1e-300 < data[0] < 1e-298 and data[1] == 0 and data[2] == "NaN", repr((rc, out, err)))
    expect_usage_error("a precise function by its C symbol is no table name", r"unknown export 'vexal_precise_norm'",
                       "vexal_precise_norm", "0")
    expect_usage_error("precise arguments counted", r"precise_call_eur takes 6 arguments", *call[:-1])


def check_help():
    for name, args, stack_bytes, summary, _family in EXPORTS:
        out = expect_ok("help %s" % name, "help", name)
        lines = out.splitlines()
        ok = (lines[0].startswith(name) and "%s@%d" % (name, stack_bytes) in lines[0] and summary in out
              and all(re.search(r"^\s+%d\. %s\s+(number|array)" % (i + 1, re.escape(a)), out, re.M)
                      for i, (a, _) in enumerate(args)))
        check("help %s content" % name, ok, out)
    out = expect_ok("help by decorated name", "help", "Price_sd@12")
    check("help by decorated name content", "1. prices" in out and "array" in out, out)
    expect_usage_error("help of an unknown export", r"unknown export 'nosuch'", "help", "nosuch")
    expect_usage_error("help without a name", r"help takes one export name", "help")


def check_usage_errors(tmp):
    expect_usage_error("unknown export", r"unknown export 'call_euro'", "call_euro", "1")
    expect_usage_error("too few arguments", r"call_eur takes 6 arguments \(S, K, T, r, sigma, q\), 5 given",
                       "call_eur", "100", "100", "1", "0.05", "0.2")
    expect_usage_error("too many arguments", r"RanMT1 takes 0 arguments \(\), 1 given", "RanMT1", "3")
    expect_usage_error("unparsable number", r"norm: argument x: '1\.5x' is not a number", "norm", "1.5x")
    expect_usage_error("empty number", r"is not a number", "norm", "")
    expect_usage_error("unparsable array element", r"array argument prices: 'abc' is not a number",
                       "Price_sd", "1,abc,3", "3")
    missing = os.path.join(tmp, "missing.csv")
    expect_usage_error("missing file", r"cannot read file '.*missing\.csv'", "Price_sd", "@" + missing, "3")
    expect_usage_error("array shorter than its count", r"Price_sd: array prices has 2 values, the count asks for 3",
                       "Price_sd", "1,2", "3")
    expect_usage_error("second array shorter than the count", r"array amounts has 1 values, the count asks for 2",
                       "call_eur_d", "100", "100", "1", "0.05", "0.2", "0.25,0.5", "1", "2")
    # nearest(count - 1) + 1 elements: 2.5 asks for 3, 3.5 for 3
    expect_usage_error("count 2.5 reads 3", r"has 2 values, the count asks for 3", "Price_sd", "1,2", "2.5")
    expect_ok("count 3.5 reads 3", "Price_sd", "1,2,3", "3.5")
    expect_usage_error("empty call between separators", r"empty call", "norm", "0", "--", "--", "norm", "1")
    # Nothing runs when a later call is wrong: the state is left alone.
    rc, out, err = vexal("RanMTInit", "1", "--", "nosuch")
    check("a bad call stops the sequence before anything runs", rc == 2 and out == "", repr((rc, out, err)))
    rc, out, err = vexal()
    check("no command", rc == 2 and "usage" in err, repr((rc, out, err)))


def check_json():
    rc, out, err = vexal("--json", "norm", "0", "--", "RanMTInit", "5489", "--", "RanMT1", "--", "norm", "nan")
    check("--json exit", rc == 0, err)
    try:
        data = json.loads(out)
    except ValueError as e:
        check("--json parses", False, "%s: %r" % (e, out))
        return
    check("--json shape", [d["call"] for d in data] == ["norm", "RanMTInit", "RanMT1", "norm"], out)
    plain = float(expect_ok("plain norm 0", "norm", "0"))
    check("--json values", data[0]["result"] == plain and abs(plain - 0.3989422804014327) < 1e-15
          and data[1]["result"] == 1.0
          and data[2]["result"] == 3499211612 * C1 and data[3]["result"] == "NaN", out)


def check_csv(tmp):
    with_header = os.path.join(tmp, "daily.csv")
    with open(with_header, "w") as f:
        f.write("date,open,close,note\n2024-01-02,99.5,100,a\n2024-01-03,100,101.5,b\n"
                "2024-01-04,101,99,c\n2024-01-05,99,102.25,d\n2024-01-08,102,103,e\n")
    no_header = os.path.join(tmp, "plain.csv")
    with open(no_header, "w") as f:
        f.write("99.5,100\n100,101.5\n101,99\n99,102.25\n102,103\n")
    spaced = os.path.join(tmp, "spaced.txt")
    with open(spaced, "w") as f:
        f.write("# closes\n100\n101.5\n\n99\n102.25\n103\n")
    closes = "100,101.5,99,102.25,103"
    ref = expect_ok("comma list", "Price_mn", closes, "5")
    for what, arg in [("column by name", "@%s:close" % with_header), ("column by number with header", "@%s:3" % with_header),
                      ("column by number without header", "@%s:2" % no_header),
                      ("first column of a one-column file with a comment", "@%s" % spaced)]:
        out = expect_ok(what, "Price_mn", arg, "5")
        check(what + " gives the same result as the list", out == ref, "%r != %r" % (out, ref))
        # The file holds 5 values: a count of 6 is refused.
        expect_usage_error(what + " has 5 values", r"has 5 values, the count asks for 6", "Price_mn", arg, "6")
    expect_usage_error("column name not in the header", r"has no column 'volume'", "Price_mn",
                       "@%s:volume" % with_header, "5")
    expect_usage_error("a text column", r"'a' is not a number", "Price_mn", "@%s:note" % with_header, "5")
    expect_usage_error("a column number past the last", r"has no column 5", "Price_mn", "@%s:5" % with_header, "5")
    # A file column for one array and a list for another in one call.
    out = expect_ok("file and list in one call", "Price_cor", "@%s:close" % with_header, closes, "5")
    check("file and list give one result", len(out.splitlines()) == 1, out)


def check_csv_rules(tmp):
    """The CSV reader's rules, one file per case: a column read as the comma
    list it should equal, or the usage error that names what is wrong."""
    def write(text):
        path = os.path.join(tmp, "rule.csv")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        return path

    for what, text, column, same_as in [
            ("CRLF and a byte-order mark", "\ufeffdate,close\r\nd1,100\r\nd2,101.5\r\n", ":close", "100,101.5"),
            ("semicolons", "a;b\n1;100\n2;101.5\n", ":b", "100,101.5"),
            ("tabs", "a\tb\n1\t100\n2\t101.5\n", ":2", "100,101.5"),
            ("runs of spaces, no header", "  1   100\n2 101.5  \n", ":2", "100,101.5"),
            ("quotes, separators and \"\" inside them", '"n, ""x""",close\n"a,b", "100"\n"c",101.5\n', ":close",
             "100,101.5"),
            ("a quoted name with a blank", '"close price";x\n100;1\n101.5;2\n', ":close price", "100,101.5"),
            ("comments and blank lines anywhere", "# a, b; c\n\nclose\n  # note\n100\n\n101.5\n", "", "100,101.5"),
            ("an empty cell is NaN", "a,b\n1,100\n2,\n3,99\n", ":b", "100,nan,99"),
            ("an empty cell leaves a first row data", "100,\n101.5,1\n", "", "100,101.5")]:
        path = write(text)
        rc, out, err = vexal("Price_mn", "@" + path + column, "3" if "nan" in same_as else "2")
        ref = expect_ok(what + " (list)", "Price_mn", same_as, "3" if "nan" in same_as else "2")
        check("csv: " + what, rc == 0 and out == ref, "%r vs %r, %r" % (out, ref, err))

    for what, text, column, pattern in [
            ("a short row", "a,b\n1,2\n3\n", ":a", r"rule\.csv' line 3 has 1 fields where the header has 2"),
            ("a long row without header", "1,2\n\n3,4,5\n", "", r"line 3 has 3 fields where the first row has 2"),
            ("an unclosed quote", 'a,b\n"1,2\n', "", r"line 2: a quoted field has no closing quote"),
            ("text after a quote", 'a,b\n"1"x,2\n', "", r"line 2: text after the closing quote of field 1"),
            ("a name two columns have", "a,a\n1,2\n", ":a", r"has two columns named 'a'"),
            ("a name without a header", "1,2\n", ":close", r"has no column 'close' \(it has no header row\)"),
            ("a column number far past the last", "1,2\n", ":99999999999999999999", r"has no column 9{20} \(it has 2\)"),
            ("comments only", "# nothing\n\n", "", r"rule\.csv' holds no numbers"),
            ("text in a cell", "a,b\n1,2\n3,x\n", ":b", r"line 3, column b: 'x' is not a number")]:
        expect_usage_error("csv: " + what, pattern, "Price_mn", "@" + write(text) + column, "1")

    # map: the file's own separator back, an empty cell NaN, comment lines left out.
    path = write('# book\nS;K;sigma;"desk; note"\n100;95;0.2;"a"\n100;100;;"b ""c"""\n')
    out = expect_ok("csv: map of a semicolon file", "map", "call_eur", path, "T=0.5", "r=0.03", "q=0.01")
    single = expect_ok("csv: map single call", "call_eur", "100", "95", "0.5", "0.03", "0.2", "0.01").strip()
    check("csv: map keeps the separator and quotes, NaN for an empty cell",
          out == 'S;K;sigma;"desk; note";call_eur\n100;95;0.2;"a";%s\n100;100;;"b ""c""";NaN\n' % single, out)
    for what, text, pattern in [("map: a short row", "S,K,sigma\n100,95\n", r"line 2 has 2 fields where the header has 3"),
                                ("map: an empty file", "\n# only this\n", r"is empty: the first line must name")]:
        expect_usage_error(what, pattern, "map", "call_eur", write(text), "T=0.5", "r=0.03", "q=0.01")


def check_sequence():
    out = expect_ok("calls in sequence", "RanMTInit", "5489", "--", "RanMT1", "--", "RanMT1")
    lines = out.split()
    check("sequence prints one line per call", len(lines) == 3, out)
    if len(lines) == 3:
        check("RanMTInit returns 1", float(lines[0]) == 1.0, out)
        check("the seed carries to the next call", float(lines[1]) == 3499211612 * C1, out)
        check("and on", float(lines[2]) == 581869302 * C1, out)
    # Every process starts from the same generator state.
    a = expect_ok("first draw after load", "RanMT1")
    b = expect_ok("first draw after load again", "RanMT1")
    check("each load starts from the same state", a == b and 0 <= float(a) < 1, repr((a, b)))
    # Family values that hold once the families are in place.
    out = expect_ok("a price", "call_eur", "100", "100", "1", "0.05", "0.2", "0")
    v = float(out)
    check("call_eur value", math.isnan(v) or abs(v - 10.4506) < 5e-5, out)


def check_map(tmp):
    """vexal map: the file back with one column more, equal to single calls."""
    src = os.path.join(tmp, "chain.csv")
    rows = [("100", "95", "0.2"), ("100", "100", "0.25"), ("90", "110", "nan"), ("120.5", "100", "0.4")]
    with open(src, "w") as f:
        f.write("S,K,sigma,desk\n" + "".join("%s,%s,%s,d%d\n" % (r + (i,)) for i, r in enumerate(rows)))
    fixed = ["T=0.5", "r=0.03", "q=0.01"]
    out = expect_ok("map call_eur", "map", "call_eur", src, *fixed)
    lines = out.splitlines()
    check("map header", lines[:1] == ["S,K,sigma,desk,call_eur"], repr(lines[:1]))
    check("map keeps every row", len(lines) == len(rows) + 1, out)
    for i, r in enumerate(rows):
        if i + 1 >= len(lines):
            break
        single = expect_ok("single call", "call_eur", r[0], r[1], "0.5", "0.03", r[2], "0.01").strip()
        cell = lines[i + 1].rsplit(",", 1)[1]
        check("map row %d equals the single call" % i,
              cell == single or (cell == "NaN" and math.isnan(float(single))), "%r vs %r" % (cell, single))
        check("map row %d keeps the input" % i, lines[i + 1].startswith(",".join(r) + ",d%d," % i), lines[i + 1])
    target = os.path.join(tmp, "mapped.csv")
    expect_ok("map --out --threads", "map", "call_eur", src, *fixed, "--out", target, "--threads", "2")
    with open(target, newline="") as f:
        check("--out holds what stdout shows", f.read().replace("\r\n", "\n") == out)
    os.remove(target)

    bad = os.path.join(tmp, "bad.csv")
    with open(bad, "w") as f:
        f.write("S,K,sigma\n100,95,0.2\n100,x9,0.2\n")
    for what, pattern, args in [
            ("map: a missing argument", r"argument q is neither a column", [src, "T=1", "r=0"]),
            ("map: an unparsable cell", r"line 3, column K: 'x9' is not a number", [bad, *fixed]),
            ("map: an array export", r"takes an array", [src]),
            ("map: a stateful export", r"keeps module state", [src]),
            ("map: an unknown export", r"unknown export", [src])]:
        name = {"map: an array export": "Price_sd", "map: a stateful export": "F_NextPrice",
                "map: an unknown export": "call_europe"}.get(what, "call_eur")
        expect_usage_error(what, pattern, "map", name, *args, "--out", target)
        check(what + " writes no file", not os.path.exists(target))

    # A precise function over the same file: equal to its single calls.
    out = expect_ok("map precise_call_eur", "map", "precise_call_eur", src, *fixed, "--threads", "3")
    lines = out.splitlines()
    check("map precise header", lines[:1] == ["S,K,sigma,desk,precise_call_eur"], repr(lines[:1]))
    for i, r in enumerate(rows):
        single = expect_ok("single precise call", "precise_call_eur", r[0], r[1], "0.5", "0.03", r[2], "0.01").strip()
        cell = lines[i + 1].rsplit(",", 1)[1] if i + 1 < len(lines) else None
        check("map precise row %d equals the single call" % i,
              cell == single or (cell == "NaN" and math.isnan(float(single))), "%r vs %r" % (cell, single))


def check_garch_mle(tmp):
    """vexal garch-mle: the benchmark's coefficient table; refused options and data."""
    data = os.path.join(ROOT, "tests", "data", "dem2gbp.csv")
    rc, out, err = vexal("garch-mle", data)
    if rc == 1 and "lacks the C API" in err:
        return  # the 32-bit DLL: the 88 exports only
    check("garch-mle runs", rc == 0, err)
    for row in (r"mu\s+-0.00619041\s+0.00846212", r"alpha\s+0.153134\s+0.0265228", r"beta\s+0.805974\s+0.0335527",
                r"log-likelihood -1106.6078"):
        check("garch-mle table: " + row, re.search(row, out) is not None, out)
    closes = os.path.join(ROOT, "examples", "closes.csv")
    out = expect_ok("garch-mle --prices --dist t", "garch-mle", closes + ":close", "--prices", "--dist", "t")
    check("garch-mle t row: nu at its bound, the normal law's likelihood",
          re.search(r"^nu\s+inf\s+at its bound", out, re.M) is not None and "stopped at a bound" in out, out)
    expect_usage_error("garch-mle: an unknown law", r"--dist takes normal, t, skewt or ged", "garch-mle", data,
                       "--dist", "cauchy")
    short = os.path.join(tmp, "short.csv")
    with open(short, "w") as f:
        f.write("r\n0.1\n-0.2\n0.3\n")
    rc, out, err = vexal("garch-mle", short)
    check("garch-mle: three returns refused", rc == 1 and "fewer than 10" in err and out == "", err)
    rc, out, err = vexal("garch-mle", data + ":2")
    check("garch-mle: a missing column", rc == 2 and "no column 2" in err, err)


def check_plain_words(tmp):
    """One line of help after an error, NaN by name, map's ARG=@COLUMN and
    --json, --out and extra words refused as usage errors."""
    book, chain = os.path.join(ROOT, "examples", "book.csv"), os.path.join(ROOT, "examples", "chain.csv")
    rc, out, err = vexal("call_eur", "100")
    check("an error is followed by one line, not the usage", rc == 2 and len(err.splitlines()) == 2
          and "vexal --help" in err, err)
    for what, args in (("NaN printed as NaN", ("norm", "nan")), ("-NaN printed as NaN", ("norm", "-nan"))):
        check(what, expect_ok(what, *args).strip() == "NaN")
    for what, pattern, args in (
            ("list with extra words", r"list takes no arguments", ("list", "extra")),
            ("demo with extra words", r"demo takes no arguments", ("demo", "extra")),
            ("map --out to an unwritable path", r"cannot write", ("map", "call_eur", book, "T=0.5", "r=0.03",
                                                                  "q=0", "--out", os.path.join(tmp, "no", "x.csv"))),
            ("map ARG=@COLUMN of no such column", r"no column", ("map", "call_eur", book, "T=@when", "r=0",
                                                                 "q=0")),
            ("map an argument given twice", r"given twice", ("map", "call_eur", book, "T=1", "T=@K", "r=0",
                                                             "q=0"))):
        expect_usage_error(what, pattern, *args)
    out = expect_ok("map ARG=@COLUMN", "map", "put_eur", chain, "S=100", "K=@strike", "T=@expiry", "r=0.03",
                    "sigma=0.2", "q=0.01")
    row = out.splitlines()[1].split(",")
    single = expect_ok("put_eur single", "put_eur", "100", row[1], row[2], "0.03", "0.2", "0.01").strip()
    check("map ARG=@COLUMN reads the column", row[-1] == single, "%r vs %r" % (row, single))
    closes = os.path.join(ROOT, "examples", "closes.csv") + ":close"
    for what, args, warned in (("garch-mle of price levels warns", (), True),
                               ("garch-mle --prices does not", ("--prices",), False)):
        rc, out, err = vexal("garch-mle", closes, *args)
        if not (rc == 1 and "lacks the C API" in err):
            check(what, rc == 0 and ("--prices" in err) == warned, err)
    bets = os.path.join(ROOT, "examples", "bets.csv")
    for what, args, rc_want, text in (
            ("kelly-exact on the bets", ("@%s:probability" % bets, "@%s:outcome" % bets), 0, "0.1189750324"),
            ("kelly-exact without a finite optimum", ("1", "1"), 1, "no finite maximum"),
            ("kelly-exact of unequal arrays", ("0.5,0.5", "1"), 2, "2 probabilities and 1 outcomes")):
        rc, out, err = vexal("kelly-exact", *args)
        if not (rc == 1 and "lacks the C API" in err):
            check(what, rc == rc_want and text in out + err, "%d %r %r" % (rc, out, err))
    out = expect_ok("map --json", "--json", "map", "call_eur", book, "T=0.5", "r=0.03", "q=0.01")
    rows = json.loads(out)
    check("map --json: one object per row", len(rows) == 2 and rows[0]["desk; note"] == "a"
          and rows[1]["call_eur"] == "NaN" and isinstance(rows[0]["call_eur"], float), out)


def main():
    global CLI, WIN32
    CLI = sys.argv[1:]
    WIN32 = os.path.basename(CLI[-1]).lower() == "vexal.exe"
    with tempfile.TemporaryDirectory() as tmp:
        check_list()
        check_help()
        check_usage_errors(tmp)
        check_json()
        check_csv(tmp)
        check_csv_rules(tmp)
        check_sequence()
        check_map(tmp)
        check_garch_mle(tmp)
        check_plain_words(tmp)
        check_precise(tmp)
    print("%d passed, %d failed" % (results["passed"], results["failed"]))
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
