#!/usr/bin/env python3
"""Reads every file of the corpus (bench/corpus_gather.py) with morvexcli and with two
independent references, and says how many files morvexcli reads right with no option.

    python3 bench/corpus_compare.py CORPUS_DIR MORVEXCLI DUCKDB_SCRIPT [--limit N] [--only TEXT]

References: DuckDB (sniff_csv over the whole file, then read_csv with every column as text:
bench/duckdb/corpus_read.mjs) and Python's csv module (csv.Sniffer over the first 32 KiB for
the delimiter and quoting, else the candidate delimiter found on most lines; Sniffer.has_header's
rule for the header, with that dialect and blind to missing values; then csv.reader over the
whole file). A one-column file has no delimiter to find. A file's truth is what both read alike: delimiter, header yes/no, number of rows and
columns, every value (trimmed, a line break inside a value as "\\n", NULL as empty). Files
where they differ are counted apart, with the reason, never in the figure.

Our side, for each file: `analyse FILE -o X.fyk` (no option), `show X.fyk --json` (delimiter,
header, columns), `preview X.fyk --rows 0 --csv` (the values as read, compared with the truth
as text, trimmed the same way) and `load X.fyk X.sqlite` (every row stored, no value kept as
text because it does not fit its type, and each stored value the file's: the same text, number,
date or boolean, leading zeros kept). A file is read right when all of them hold; otherwise it
falls into the first failing class of CLASSES (every class it meets is counted too), its detail
saying how (what was found for what, where the first difference lies).

Prints the figure, the classes with counts and example files, the references' disagreements and
the analyse times (CPU time of the process, and wall time, which a busy machine inflates); writes
every file's outcome into CORPUS_DIR/results.tsv (results-part.tsv with --only or --limit), the
last run's kept as results-previous.tsv, and names the files whose outcome changed since.
"""
import argparse
import collections
import csv
import hashlib
import io
import json
import os
import re
import resource
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

csv.field_size_limit(1 << 30)

CLASSES = ["crash", "timeout", "refused", "delimiter wrong", "header wrong", "column count",
           "row count", "values differ", "load refused", "types don't hold", "stored values differ"]
TIMEOUT = 30          # seconds for one morvexcli command on one file
REF_TIMEOUT = 120     # seconds for one reference reading of one file
SAMPLE = 32 * 1024    # what csv.Sniffer looks at
DETECT_GOAL_MS = 30


def norm(v):
    return (v or "").replace("\r\n", "\n").replace("\r", "\n").strip()


def norm_row(row):
    return [norm(v) for v in row]


def show_delim(d):
    return {"\t": "TAB", "": "(none)"}.get(d, d)


# ---------------------------------------------------------------- references

class DuckDB:
    """One node process reading the files one by one; restarted after a time-out."""

    def __init__(self, script):
        self.script = script
        self.proc = None

    def _start(self):
        self.proc = subprocess.Popen(["node", self.script], cwd=os.path.dirname(self.script),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)

    def read(self, path, out):
        if self.proc is None or self.proc.poll() is not None:
            self._start()
        self.proc.stdin.write(f"{path}\t{out}\n")
        self.proc.stdin.flush()
        ready, _, _ = select.select([self.proc.stdout], [], [], REF_TIMEOUT)
        if not ready:
            self.close()
            return {"error": "timeout"}
        line = self.proc.stdout.readline()
        if not line:
            self.close()
            return {"error": "reference stopped"}
        return json.loads(line)

    def close(self):
        if self.proc:
            self.proc.kill()
            self.proc.wait()
            self.proc = None


def duckdb_reference(duck, cache, path, sha):
    """DuckDB's reading of the file, kept in the cache by content hash."""
    meta_path = os.path.join(cache, sha + ".json")
    rows_path = os.path.join(cache, sha + ".csv")
    if os.path.isfile(meta_path):
        return json.load(open(meta_path)), rows_path
    # written aside then renamed, the rows before the meta: another run may read the cache
    part = f".{os.getpid()}.part"
    meta = duck.read(os.path.abspath(path), os.path.abspath(rows_path + part))
    if os.path.exists(rows_path + part):
        os.replace(rows_path + part, rows_path)
    with open(meta_path + part, "w") as f:
        json.dump(meta, f)
    os.replace(meta_path + part, meta_path)
    return meta, rows_path


def duckdb_rows(rows_path):
    with open(rows_path, newline="", encoding="utf-8", errors="replace") as f:
        for row in csv.reader(f):
            yield norm_row(row)


def python_encoding(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        return "utf-8-sig"
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        return "utf-16"
    try:
        data.decode("utf-8")
        return "utf-8"
    except UnicodeDecodeError:
        return "cp1252"


def python_reference(path):
    """csv.Sniffer's dialect over the first SAMPLE characters (when it finds none: the candidate
    delimiter found on the most lines, or none for one column) and the header decision of
    Sniffer.has_header made with that dialect; raises when nothing fits."""
    enc = python_encoding(path)
    with open(path, newline="", encoding=enc, errors="replace") as f:
        sample = f.read(SAMPLE)
    if len(sample) == SAMPLE and "\n" in sample:  # whole lines only
        sample = sample[:sample.rindex("\n") + 1]
    try:
        dialect = csv.Sniffer().sniff(sample, delimiters=DELIMITERS)
    except csv.Error:
        dialect = fallback_dialect(sample)
    return {"delimiter": dialect.delimiter, "quote": dialect.quotechar,
            "header": has_header(sample, dialect), "encoding": enc, "dialect": dialect}


DELIMITERS = ",;\t|"


def fallback_dialect(sample):
    lines = [l for l in sample.splitlines() if l.strip()][:200]
    if not lines:
        raise csv.Error("empty")
    if any(" " in l.strip() for l in lines[1:]) and not any(d in sample for d in DELIMITERS):
        raise csv.Error("values separated by spaces")
    found = {d: sum(1 for l in lines if d in l) for d in DELIMITERS}
    best = max(found, key=lambda d: found[d])

    class Fallback(csv.excel):
        delimiter = best if found[best] > len(lines) // 2 else "\x1f"
    if Fallback.delimiter == "\x1f" and any(found.values()):
        raise csv.Error("no delimiter on most lines")
    return Fallback


MISSING = {"", "na", "nan", "null", "none", "n/a", "-", ".", "inf", "-inf"}


def has_header(sample, dialect):
    """Sniffer.has_header's rule (a column whose values are all numbers, or all of one length,
    and whose first value is not, votes for a header) over the rows as the dialect splits them;
    empty and missing values (NA, NaN, null...) say nothing about a column, and one column of
    numbers under a word is enough."""
    rows = csv.reader(io.StringIO(sample), dialect)
    header = next(rows, None)
    if header is None:
        return False
    types = {i: None for i in range(len(header))}
    for checked, row in enumerate(rows):
        if checked >= 20:
            break
        if len(row) != len(header):
            continue
        for col in list(types):
            if row[col].strip().lower() in MISSING:
                continue
            try:
                complex(row[col])
                kind = complex
            except (ValueError, OverflowError):
                kind = len(row[col])
            if types[col] is None:
                types[col] = kind
            elif kind != types[col]:
                del types[col]
    votes, named_numbers = 0, False
    for col, kind in types.items():
        if kind is None:
            continue
        if isinstance(kind, int):
            votes += 1 if len(header[col]) != kind else -1
        else:
            try:
                complex(header[col])
                votes -= 1
            except (ValueError, OverflowError):
                votes += 1
                named_numbers |= header[col].strip().lower() not in MISSING
    # A column of numbers under a word is named, whatever the others (years as names)
    return votes > 0 or named_numbers


def python_rows(path, ref):
    with open(path, newline="", encoding=ref["encoding"], errors="replace") as f:
        first = True
        for row in csv.reader(f, ref["dialect"]):
            if not row or (len(row) == 1 and not row[0].strip()):
                continue  # blank line
            if first and ref["header"]:
                first = False
                continue
            first = False
            yield norm_row(row)


def references_agree(duck_meta, duck_rows_path, py_meta, path):
    """(truth, None) when the two references read the file alike, else (None, reason)."""
    if "error" in duck_meta:
        return None, "duckdb: " + duck_meta["error"][:80]
    if py_meta is None or "error" in py_meta:
        return None, "python csv: " + (py_meta or {}).get("error", "no dialect")[:80]
    one_column = duck_meta["columns"] == 1
    if duck_meta["delimiter"] != py_meta["delimiter"] and not one_column:
        return None, "delimiter"
    if duck_meta.get("skip"):
        return None, "duckdb skips lines"
    if duck_meta["header"] != py_meta["header"]:
        return None, "header"
    rows = 0
    widths = collections.Counter()
    for a, b in zip_longest_rows(duckdb_rows(duck_rows_path), python_rows(path, py_meta)):
        if a is None or b is None:
            return None, "rows"
        if len(a) != len(b):
            return None, "columns"
        if a != b:
            return None, f"values (row {rows + 1})"
        rows += 1
        widths[len(a)] += 1
    if rows != duck_meta["rows"]:
        return None, "rows"
    return {"delimiter": "" if one_column else duck_meta["delimiter"], "header": duck_meta["header"],
            "rows": rows, "columns": duck_meta["columns"], "encoding": py_meta["encoding"],
            "quoting": quoting(path, py_meta)}, None


def quoting(path, py_meta):
    """How the file quotes: 'none', 'quoted' or 'quoted, line breaks' (a quoted line break)."""
    quote = py_meta["quote"] or '"'
    with open(path, newline="", encoding=py_meta["encoding"], errors="replace") as f:
        text = f.read(4 * 1024 * 1024)
    starts = re.search(r"(^|[,;\t|])" + re.escape(quote), text, re.M)
    if not starts:
        return "none"
    inside = re.search(r"(^|[,;\t|])" + re.escape(quote) + r"[^" + re.escape(quote) + r"]*\n", text, re.M)
    return "quoted, line breaks" if inside else "quoted"


def zip_longest_rows(a, b):
    sentinel = object()
    a, b = iter(a), iter(b)
    while True:
        x, y = next(a, sentinel), next(b, sentinel)
        if x is sentinel and y is sentinel:
            return
        yield (None if x is sentinel else x), (None if y is sentinel else y)


# ---------------------------------------------------------------- our side

def run(cmd, timeout, stdout=subprocess.PIPE, env=None):
    """(returncode or 'timeout', wall s, cpu s, stdout, stderr) of one command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=stdout, stderr=subprocess.PIPE, env=env,
                            start_new_session=True)
    try:
        out, err = proc.communicate(timeout=timeout)
        rc = proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        rc = "timeout"
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    dec = lambda b: b.decode("utf-8", "replace") if isinstance(b, bytes) else (b or "")
    return rc, wall, cpu, dec(out), dec(err)


def failed(step, rc, err):
    """The class of a command that did not end well, or None."""
    if rc == "timeout":
        return "timeout", f"{step}: no end after {TIMEOUT} s"
    if rc < 0 or rc in (134, 136, 139):  # killed by a signal, abort, SIGFPE, SIGSEGV
        return "crash", f"{step}: exit {rc} {err.strip()[-120:]}"
    if rc != 0:
        return "refused", f"{step}: exit {rc} {err.strip().splitlines()[-1][:120] if err.strip() else ''}"
    return None


def ours(cli, path, work, env):
    """Everything our side says about the file: classes met and details."""
    res = {"classes": [], "detail": {}}
    fyk = os.path.join(work, "x.fyk")
    base = [cli, "--log", "/dev/null"]

    rc, wall, cpu, _, err = run(base + ["analyse", path, "-o", fyk], TIMEOUT, env=env)
    res["analyse_wall"], res["analyse_cpu"] = wall, cpu
    f = failed("analyse", rc, err)
    if f:
        res["classes"].append(f[0]); res["detail"][f[0]] = f[1]
        return res
    # detection alone: the same analysis typing one row only
    rc, _, cpu, _, err = run(base + ["analyse", path, "--rows", "1", "-o",
                                     os.path.join(work, "detect.fyk")], TIMEOUT, env=env)
    res["detect_cpu"] = cpu
    f = failed("analyse --rows 1", rc, err)
    if f:
        res["classes"].append(f[0]); res["detail"][f[0]] = f[1]
        return res
    rc, _, _, out, err = run(base + ["show", fyk, "--json"], TIMEOUT, env=env)
    f = failed("show", rc, err)
    if f:
        res["classes"].append(f[0]); res["detail"][f[0]] = f[1]
        return res
    desc = json.loads(out)
    res["delimiter"] = desc.get("FieldDelimiterChars", "")
    res["header"] = bool(desc.get("FirstLineIsHeader"))
    res["columns"] = len(desc.get("columns", []))
    res["structure"] = desc.get("TypeStructFile")
    res["table"] = desc.get("TableName") or ""

    preview = os.path.join(work, "preview.csv")
    with open(preview, "wb") as pf:
        rc, _, _, _, err = run(base + ["preview", fyk, "--rows", "0", "--csv"], TIMEOUT,
                               stdout=pf, env=env)
    f = failed("preview", rc, err)
    if f:
        res["classes"].append(f[0]); res["detail"][f[0]] = f[1]
    else:
        res["preview"] = preview

    db = os.path.join(work, "x.sqlite")
    if os.path.exists(db):
        os.remove(db)
    log = os.path.join(work, "load.log")
    if os.path.exists(log):
        os.remove(log)
    rc, _, _, out, err = run([cli, "--log", log, "load", fyk, db], TIMEOUT, env=env)
    f = failed("load", rc, err)
    if f and f[0] == "refused":
        f = ("load refused", f[1])
    if f:
        why = ""
        if os.path.exists(log):  # the database's own reason
            m = re.search(r"MESSAGE : \[([^\]]*)\]", open(log, encoding="utf-8", errors="replace").read())
            why = f" ({m.group(1)[:80]})" if m else ""
        res["classes"].append(f[0]); res["detail"][f[0]] = f[1] + why
    else:
        m = re.search(r"(\d+) ligne\(s\) lue\(s\) : (\d+) enregistrée\(s\), (\d+) écartée\(s\), "
                      r"(\d+) rejetée\(s\)", out + err)
        res["load_read"], res["load_stored"] = (int(m.group(1)), int(m.group(2))) if m else (None, None)
        m = re.search(r"(\d+) valeur\(s\) conservée\(s\) telle\(s\) quelle\(s\)", out + err)
        res["kept_as_text"] = int(m.group(1)) if m else 0
        m = re.search(r"Lignes écartées : ([^\n]*)", out + err)
        res["set_aside"] = m.group(1)[:80] if m else ""
        res["db"] = db
    return res


NUMBER_RE = re.compile(r"^[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?$")
BOOLEANS = {"true", "false", "yes", "no", "y", "n", "t", "f", "oui", "non", "vrai", "faux", "0", "1"}


def stored_matches(stored, text):
    """Whether the value the load stored is the text the file holds: the same text, the same
    number (a decimal comma read as a point), the same date written otherwise, a boolean."""
    if stored is None:
        return text == ""
    if isinstance(stored, bytes):
        stored = stored.decode("utf-8", "replace")
    if isinstance(stored, str):
        stored = norm(stored)
        if stored == text:
            return True
        if re.match(r"^\d{4}-\d\d-\d\d", stored):  # a date or time in ISO form
            return (sorted(int(x) for x in re.findall(r"\d+", stored)) ==
                    sorted(int(x) for x in re.findall(r"\d+", text))
                    or re.sub(r"\D", "", stored) == re.sub(r"\D", "", text))  # 20121206
        return False
    if re.match(r"^[+-]?0\d", text):
        return False  # leading zeros lost
    if not NUMBER_RE.match(text):
        return text.lower() in BOOLEANS and stored in (0, 1)
    number = float(text.replace(",", ".")) if text.count(",") <= 1 else None
    return number is not None and abs(number - stored) <= 1e-9 * max(1.0, abs(number))


def check_stored(db, table, truth_rows):
    """The first stored value that is not the file's, as a detail, or None."""
    import sqlite3
    con = sqlite3.connect(db)
    con.text_factory = bytes
    try:
        names = [r[1] for r in con.execute(f'PRAGMA table_info("{table}")')]
        cur = con.execute(f'SELECT * FROM "{table}" ORDER BY rowid')
        skip = 1 if names and names[0] == b"FileRowID" else 0
        for n, (row, truth) in enumerate(zip(cur, truth_rows), 1):
            for col, (stored, text) in enumerate(zip(row[skip:], truth)):
                if not stored_matches(stored, text):
                    shown = stored.decode("utf-8", "replace") if isinstance(stored, bytes) else stored
                    why = "leading zeros lost" if re.match(r"^[+-]?0\d", text) and \
                        isinstance(stored, (int, float)) else "stored otherwise"
                    return f"{why}: row {n} col {col + 1}: {str(shown)[:30]!r} for {text[:30]!r}"
    except sqlite3.Error as e:
        return f"table unreadable: {e}"
    finally:
        con.close()
    return None


def preview_rows(path):
    with open(path, newline="", encoding="utf-8", errors="replace") as f:
        reader = csv.reader(f)
        next(reader, None)  # the column codes
        for row in reader:
            yield norm_row(row)


def judge(truth, res):
    """Adds to res['classes'] every class the file meets against the truth."""
    cls, det = res["classes"], res["detail"]
    if "delimiter" not in res:
        return
    if truth["delimiter"] and res["delimiter"] != truth["delimiter"]:
        cls.append("delimiter wrong")
        det["delimiter wrong"] = f"{show_delim(res['delimiter'])} for {show_delim(truth['delimiter'])}"
    if res["header"] != truth["header"]:
        cls.append("header wrong")
        first = next(python_rows(truth["path"], dict(truth["py"], header=False)), [])
        kind = "numbers only" if first and all(NUMBER_RE.match(v) or v.lower() in MISSING
                                               for v in first) else "text"
        det["header wrong"] = (f"header {'yes' if res['header'] else 'no'} for "
                               f"{'yes' if truth['header'] else 'no'} (first line: {kind})")
    if res["columns"] != truth["columns"]:
        cls.append("column count")
        det["column count"] = f"{res['columns']} for {truth['columns']}"
    if "preview" in res:
        rows, first_diff = 0, None
        for a, b in zip_longest_rows(preview_rows(res["preview"]), python_truth_rows(truth)):
            if a is not None:
                rows += 1
            if first_diff is None and a is not None and b is not None and a != b:
                col = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
                x = a[col] if col < len(a) else "(none)"
                y = b[col] if col < len(b) else "(none)"
                first_diff = f"row {rows} col {col + 1}: {x[:40]!r} for {y[:40]!r}"
        res["rows"] = rows
        if rows != truth["rows"]:
            cls.append("row count")
            det["row count"] = f"preview {rows} for {truth['rows']}" + trailing_blank(truth["path"])
        if first_diff:
            cls.append("values differ")
            det["values differ"] = first_diff
    stored = res.get("load_stored")
    if stored is not None and stored != truth["rows"] and "row count" not in cls:
        cls.append("row count")
        det["row count"] = f"load stored {stored} for {truth['rows']}" + (
            f" ({res['set_aside']})" if res.get("set_aside") else "")
    if res.get("kept_as_text"):
        cls.append("types don't hold")
        det["types don't hold"] = f"{res['kept_as_text']} value(s) kept as text"
    if res.get("db") and not (set(cls) & {"header wrong", "column count", "row count"}):
        bad = check_stored(res["db"], res["table"], python_truth_rows(truth))
        if bad:
            cls.append("stored values differ")
            det["stored values differ"] = bad


def trailing_blank(path):
    """' (file ends with blank lines)' when it does."""
    with open(path, "rb") as f:
        f.seek(max(0, os.path.getsize(path) - 64))
        tail = f.read()
    return " (file ends with blank lines)" if re.search(rb"\n[ \t\r]*\n[ \t\r]*$", tail) else ""


def python_truth_rows(truth):
    return python_rows(truth["path"], truth["py"])


def binary_check(corpus, cli, env):
    """What analyse does with files that are no text: [(file, outcome, detail)], the outcome
    'refused' (right), 'accepted', 'crash' or 'timeout'."""
    path = os.path.join(corpus, "manifest-binary.tsv")
    if not os.path.isfile(path):
        return []
    out = []
    work = tempfile.mkdtemp(prefix="morvex-corpus-bin-")
    for m in csv.DictReader(open(path, newline=""), delimiter="\t"):
        rc, _, _, _, err = run([cli, "--log", "/dev/null", "analyse",
                                os.path.join(corpus, "binary", m["file"]),
                                "-o", os.path.join(work, "b.fyk")], TIMEOUT, env=env)
        f = failed("analyse", rc, err)
        outcome = "accepted" if f is None else f[0]
        out.append((m["file"], outcome, (f[1] if f else "")[:100]))
    shutil.rmtree(work, ignore_errors=True)
    return out


# ---------------------------------------------------------------- report

def detail_kind(detail):
    """A failure's detail without its numbers and values: what groups alike failures."""
    kind = re.sub(r"'[^']*'|\"[^\"]*\"", "…", detail)
    kind = re.sub(r"\[[^\]]*\]", "[…]", kind)
    kind = re.sub(r"\d+", "N", kind)
    return kind[:90]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("corpus")
    ap.add_argument("cli")
    ap.add_argument("duckdb_script")
    ap.add_argument("--limit", type=int, default=0)
    ap.add_argument("--only", default="")
    args = ap.parse_args()

    manifest = list(csv.DictReader(open(os.path.join(args.corpus, "manifest.tsv"), newline=""),
                                   delimiter="\t"))
    if args.only:
        manifest = [m for m in manifest if args.only in m["file"] or args.only in m["source"]]
    if args.limit:
        manifest = manifest[:args.limit]
    # DuckDB's readings are kept while the reading script stays the same
    version = hashlib.sha256(open(args.duckdb_script, "rb").read()).hexdigest()[:8]
    cache = os.path.join(args.corpus, "ref-duckdb-" + version)
    for old in os.listdir(args.corpus):
        if old.startswith("ref-duckdb") and old != os.path.basename(cache):
            shutil.rmtree(os.path.join(args.corpus, old), ignore_errors=True)
    os.makedirs(cache, exist_ok=True)
    work = tempfile.mkdtemp(prefix="morvex-corpus-")
    env = dict(os.environ, MORVEX_CONFIG_DIR=os.path.join(work, "config"))
    os.makedirs(env["MORVEX_CONFIG_DIR"])
    duck = DuckDB(os.path.abspath(args.duckdb_script))

    started = time.time()
    outcomes = []
    apart = collections.Counter()
    apart_examples = collections.defaultdict(list)
    for n, m in enumerate(manifest, 1):
        path = os.path.join(args.corpus, "files", m["file"])
        duck_meta, duck_rows_path = duckdb_reference(duck, cache, path, m["sha256"])
        try:
            py_meta = python_reference(path)
        except Exception as e:  # csv.Error: no dialect found
            py_meta = {"error": str(e)}
        truth, reason = references_agree(duck_meta, duck_rows_path, py_meta, path)
        res = ours(args.cli, path, work, env)
        if reason == "header":
            res["header_sides"] = (duck_meta["header"], py_meta["header"])
        if truth:
            truth["path"], truth["py"] = path, py_meta
            judge(truth, res)
        else:
            # a crash or a hang counts whatever the references say
            key = re.sub(r" \(row \d+\)|\"[^\"]*\"|Line: \d+", "", reason)[:48]
            apart[key] += 1
            apart_examples[key].append(f"{m['file']} ({reason})")
        primary = next((c for c in CLASSES if c in res["classes"]), "ok")
        outcomes.append((m, truth, reason, res, primary))
        print(f"[{n}/{len(manifest)}] {primary if truth or primary in ('crash', 'timeout') else 'apart'}"
              f"  {m['file']}", file=sys.stderr, flush=True)
    duck.close()
    # On a busy machine a process's CPU time swells too: a file at the goal or over is timed
    # again, its best of three kept; and the start of a process is timed on a two-line file.
    for m, truth, reason, res, primary in outcomes:
        path = os.path.join(args.corpus, "files", m["file"])
        for key, extra in (("analyse_cpu", []), ("detect_cpu", ["--rows", "1"])):
            if res.get(key, 0) * 1000 >= DETECT_GOAL_MS:
                res[key] = min([res[key]] + [
                    run([args.cli, "--log", "/dev/null", "analyse", path, "-o",
                         os.path.join(work, "t.fyk")] + extra, TIMEOUT, env=env)[2]
                    for _ in range(3)])
    tiny = os.path.join(work, "tiny.csv")
    with open(tiny, "w") as f:
        f.write("a,b\n1,2\n")
    start_cpu = statistics.median(
        run([args.cli, "--log", "/dev/null", "analyse", tiny, "-o", os.path.join(work, "t.fyk")],
            TIMEOUT, env=env)[2] for _ in range(5)) * 1000
    binary = binary_check(args.corpus, args.cli, env) if not (args.only or args.limit) else []
    shutil.rmtree(work, ignore_errors=True)
    elapsed = time.time() - started

    results = os.path.join(args.corpus, "results-part.tsv" if args.only or args.limit else "results.tsv")
    previous = {}
    if os.path.isfile(results):  # what changed since the last run, for whoever works on analyse
        previous = {r["file"]: r["outcome"] for r in
                    csv.DictReader(open(results, newline=""), delimiter="\t")}
        os.replace(results, results.replace(".tsv", "-previous.tsv"))
    with open(results, "w") as f:
        f.write("file\tsource\tpath\tbytes\toutcome\tclasses\tdetail\treference\t"
                "analyse_cpu_ms\tanalyse_wall_ms\tdetect_cpu_ms\tdelimiter\theader\trows\tcolumns\tencoding\tquoting\n")
        for m, truth, reason, res, primary in outcomes:
            outcome = primary if truth else ("apart" if primary not in ("crash", "timeout") else primary)
            f.write("\t".join([m["file"], m["source"], m["path"], m["bytes"], outcome,
                               ",".join(res["classes"]),
                               " | ".join(f"{k}: {v}" for k, v in res["detail"].items()).replace("\t", " ").replace("\n", " "),
                               "agree" if truth else reason,
                               f"{res.get('analyse_cpu', 0) * 1000:.1f}",
                               f"{res.get('analyse_wall', 0) * 1000:.1f}",
                               f"{res.get('detect_cpu', 0) * 1000:.1f}"]
                              + ([show_delim(truth["delimiter"]), "yes" if truth["header"] else "no",
                                  str(truth["rows"]), str(truth["columns"]), truth["encoding"],
                                  truth["quoting"]] if truth else [""] * 6)) + "\n")

    judged = [o for o in outcomes if o[1]]
    ok = [o for o in judged if o[4] == "ok"]
    print(f"Corpus: {len(outcomes)} files ({args.corpus}/manifest.tsv), references agree on "
          f"{len(judged)}, {len(outcomes) - len(judged)} apart.")
    share = 100.0 * len(ok) / len(judged) if judged else 0.0
    print(f"Read right with no option: {len(ok)} / {len(judged)} = {share:.1f} %"
          f"  (delimiter, header, rows, columns, every value, types holding every value)")
    for title, key in (("delimiter", lambda t: show_delim(t["delimiter"])),
                       ("header", lambda t: "yes" if t["header"] else "no"),
                       ("encoding", lambda t: t["encoding"]),
                       ("quoting", lambda t: t["quoting"])):
        parts = collections.defaultdict(lambda: [0, 0])
        for o in judged:
            parts[key(o[1])][0] += o[4] == "ok"
            parts[key(o[1])][1] += 1
        print(f"  by {title + ':':10} " + "   ".join(f"{k}: {v[0]}/{v[1]}" for k, v in
                                             sorted(parts.items(), key=lambda kv: -kv[1][1])))
    crashes = [o for o in outcomes if o[4] == "crash"]
    hangs = [o for o in outcomes if o[4] == "timeout"]
    print(f"Crashes: {len(crashes)}   time-outs ({TIMEOUT} s): {len(hangs)}"
          + "".join(f"\n  {o[0]['file']}: {o[3]['detail'].get(o[4], '')}" for o in crashes + hangs))

    print("\nFailure classes (first failing class of each file; [all] = files meeting the class):")
    every = collections.Counter(c for o in judged for c in set(o[3]["classes"]))
    for c in CLASSES:
        files = [o for o in judged if o[4] == c]
        if not files and not every[c]:
            continue
        print(f"  {c:17} {len(files):4}   [all {every[c]}]")
        kinds = collections.defaultdict(list)
        for o in files:
            kinds[detail_kind(o[3]["detail"].get(c, ""))].append(o)
        for kind, group in sorted(kinds.items(), key=lambda kv: -len(kv[1]))[:6]:
            print(f"    {len(group):4}  {kind}")
            for o in group[:3]:
                print(f"            {o[0]['file']}  ({o[0]['source'].split('=')[0]}): {o[3]['detail'].get(c, '')}")

    spaced = [o for o in outcomes if not o[1] and "separated by spaces" in (o[2] or "")]
    if spaced:
        shapes = collections.Counter(
            o[4] if o[4] in ("crash", "timeout", "refused") else
            ("fixed width" if o[3].get("structure") == 1 else f"delimited, {o[3].get('columns')} column(s)")
            if o[3].get("columns") is not None else "refused" for o in spaced)
        print(f"\nValues separated by spaces ({len(spaced)} files, not in the figure): analyse gives "
              + ", ".join(f"{k}: {v}" for k, v in shapes.most_common()))
    if binary:
        refused = sum(1 for b in binary if b[1] == "refused")
        print(f"\nBinary files (images, R data, compressed, libraries): {refused} / {len(binary)} refused by analyse")
        for b in [b for b in binary if b[1] != "refused"][:5]:
            print(f"      {b[1]}: {b[0]} {b[2]}")

    sides = [o[3] for o in outcomes if "header_sides" in o[3] and "header" in o[3]]
    if sides:
        duck_side = sum(1 for r in sides if r["header"] == r["header_sides"][0])
        print(f"\nWhere the references differ on the header ({len(sides)} files), analyse sides with "
              f"DuckDB on {duck_side}, with Python's csv on {len(sides) - duck_side}")

    print("\nApart (the references read them differently):")
    for k, v in apart.most_common():
        print(f"  {k:28} {v:4}   e.g. " + "; ".join(apart_examples[k][:2]))

    detect = sorted(o[3]["detect_cpu"] * 1000 for o in outcomes if "detect_cpu" in o[3])
    if detect:
        pct = lambda xs, p: xs[min(len(xs) - 1, int(p * len(xs)))]
        over = [o for o in outcomes if o[3].get("detect_cpu", 0) * 1000 >= DETECT_GOAL_MS]
        print(f"\ndetection per file (CPU time of analyse --rows 1, ms): median {statistics.median(detect):.1f}"
              f"  p95 {pct(detect, .95):.1f}  max {detect[-1]:.1f}  ({len(over)} at {DETECT_GOAL_MS} ms or"
              f" more, best of 4; goal under {DETECT_GOAL_MS} ms)")
        for o in sorted(over, key=lambda o: -o[3]["detect_cpu"])[:3]:
            print(f"      {o[0]['file']} ({int(o[0]['bytes']) // 1024} KiB): "
                  f"{o[3]['detect_cpu'] * 1000:.0f} ms")
    cpu = sorted(o[3].get("analyse_cpu", 0) * 1000 for o in outcomes if "analyse_cpu" in o[3])
    wall = sorted(o[3].get("analyse_wall", 0) * 1000 for o in outcomes if "analyse_wall" in o[3])
    if cpu:
        pct = lambda xs, p: xs[min(len(xs) - 1, int(p * len(xs)))]
        over = [o for o in outcomes if o[3].get("analyse_cpu", 0) * 1000 >= DETECT_GOAL_MS]
        print(f"analyse per file, no option (CPU time, ms):         median {statistics.median(cpu):.1f}"
              f"  p95 {pct(cpu, .95):.1f}  max {cpu[-1]:.1f}  ({len(over)} at {DETECT_GOAL_MS} ms or more,"
              f" best of 4)\n    of which the start of a process (analyse of a two-line file): {start_cpu:.1f}"
              f"\n    wall time (a busy machine swells it), ms: median {statistics.median(wall):.1f}"
              f"  p95 {pct(wall, .95):.1f}  max {wall[-1]:.1f}")
        for o in sorted(over, key=lambda o: -o[3]["analyse_cpu"])[:3]:
            print(f"      {o[0]['file']} ({int(o[0]['bytes']) // 1024} KiB): "
                  f"{o[3]['analyse_cpu'] * 1000:.0f} ms")
    if previous:
        now_ok = [o for o in judged if o[4] == "ok" and previous.get(o[0]["file"], "ok") != "ok"]
        lost = [o for o in outcomes if o[4] != "ok" and previous.get(o[0]["file"]) == "ok"]
        print(f"\nSince the previous run: {len(now_ok)} file(s) now read right, "
              f"{len(lost)} no longer")
        for o in lost[:10]:
            print(f"      {o[0]['file']}: {o[4] if o[1] else 'apart (' + (o[2] or '') + ')'}: "
                  f"{o[3]['detail'].get(o[4], '')}")
    print(f"\nRun time {elapsed:.0f} s; every file's outcome in {results}")


if __name__ == "__main__":
    main()
