#!/usr/bin/env python3
"""The figures of `morvexcli profile --json` against the same figures computed here, by Python's
csv and datetime modules, over one case:

    python3 crosscheck.py MORVEXCLI WORKDIR CASE

CASE debian / ubuntu: the release tables Debian's distro-info-data publishes, read through a
typed description (versions as decimals, dates, text of bounded sizes); rows whose last fields
are missing, versions such as "6.06 LTS" that are no decimals, names longer than their column.
CASE generated: 150 000 generated rows (fixed seed) that take the sketches past their exact
bounds: a unique code (estimated distinct count), a text with a few heavy values among many
rare ones (Misra-Gries summary), skewed amounts, dates over a century, empties, NULL words,
misfits and non-ASCII text.

Prints every difference and exits 1 when there is one; writes only into WORKDIR.
"""
import csv
import datetime
import json
import os
import random
import subprocess
import sys

FYK_HEAD = """BEGIN MorvexFylatek
\tFILEVERSION=1.4
\tNBUILD=5697
\tBEGIN File
\t\tFILEDESCUID=1E8479C0BA4E12DC6C077D0210713D0E
\t\tINDFINDELIGNE=\\n
\t\tLONGLIGNEFIXE=0
\t\tTABLENAME={table}
\t\tSCHEMANAME=
\t\tDATABASENAME=
\t\tPROJECTNAME={table}
\t\tDESCRIPTION=
\t\tTYPESTRUCTFILE=2
\t\tFIRSTLINEISHEADER=1
\t\tBEGINFROMLINE=1
\t\tENDTOLINE=0
\t\tFIELDDELIMITER={delimiter}
\t\tFICHIEREXEMPLE=
\t\tDATABASEFILE=
"""
FYK_COLUMN = """\t\tBEGIN Column
\t\t\tID=0
\t\t\tIGNORERCOL=0
\t\t\tISNULL=0
\t\t\tPOSITION={position}
\t\t\tPOSDEBUT=0
\t\t\tPOSFIN=0
\t\t\tNAME={name}
\t\t\tLARGEUR={width}
\t\t\tPROTECTEDFIELD=0
\t\t\tCARDELIMDEBUT= 
\t\t\tCARDELIMFIN= 
\t\t\tDESCRIPTION=
\t\t\tTYPE_CIBLE={type}
\t\t\tFMT_CIBLE={fmt}
\t\tEND Column
"""
FYK_TAIL = """\t\tBEGIN Primary Key
\t\t\tNAME=
\t\tEND Primary Key
\t\tBEGIN Process
\t\tEND Process
\tEND File
END MorvexFylatek"""

INTEGER, DECIMAL, DATE, VARCHAR = 0, 1, 2, 5
EXACT_DISTINCT = 65536
EXACT_VALUES = 4096


def write_fyk(path, table, delimiter, columns):
    text = FYK_HEAD.format(table=table, delimiter=delimiter)
    for i, (name, kind, fmt) in enumerate(columns):
        width = 10 if kind in (INTEGER, DATE) else 15 if kind == DECIMAL else fmt
        text += FYK_COLUMN.format(position=i, name=name, width=width, type=kind, fmt=fmt)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write((text + FYK_TAIL).replace("\n", "\r\n"))


def parse_date(text, fmt):
    picture = fmt.replace("aaaa", "%Y").replace("mm", "%m").replace("jj", "%d")
    try:
        return datetime.datetime.strptime(text, picture).date()
    except ValueError:
        return None


def parse_number(text, kind):
    if kind == INTEGER:
        t = text[1:] if text.startswith("+") else text
        if not t or not (t.isdigit() or (t[0] == "-" and t[1:].isdigit())):
            return None
        return int(t)
    if text.count(",") > 1 or ("," in text and "." in text):
        return None
    if any(c not in "0123456789+-eE.," for c in text):
        return None
    try:
        return float(text.replace(",", "."))
    except ValueError:
        return None


def expected(rows, columns):
    """The profile of every column, computed from the rows as lists of field texts."""
    out = []
    epoch = datetime.date(1970, 1, 1)
    for i, (name, kind, fmt) in enumerate(columns):
        col = {"name": name, "rows": len(rows), "empty": 0, "nulls": 0, "values": 0,
               "misfits": 0, "counts": {}, "lengths": {}, "numbers": [], "texts": []}
        for row in rows:
            raw = row[i] if i < len(row) else ""
            value = raw.strip(" \t\r\n")
            if value == "":
                col["empty"] += 1
                continue
            if value.lower() == "null":
                col["nulls"] += 1
                continue
            col["values"] += 1
            col["counts"][raw] = col["counts"].get(raw, 0) + 1
            col["lengths"][len(raw)] = col["lengths"].get(len(raw), 0) + 1
            if kind == DATE:
                d = parse_date(value, fmt)
                if d is None:
                    col["misfits"] += 1
                else:
                    col["numbers"].append((d - epoch).days)
            elif kind in (INTEGER, DECIMAL):
                n = parse_number(value, kind)
                if n is None:
                    col["misfits"] += 1
                else:
                    col["numbers"].append(n)
            else:
                col["texts"].append(raw.encode("utf-8"))
                if len(raw) > fmt:
                    col["misfits"] += 1
        out.append(col)
    return out


def compare(got, want, columns):
    problems = []

    def check(what, g, w):
        if g != w:
            problems.append(f"{what}: profile {g!r}, Python {w!r}")

    check("columns", [c["name"] for c in got["columns"]], [c["name"] for c in want])
    for g, w, (name, kind, fmt) in zip(got["columns"], want, columns):
        for key in ("rows", "empty", "nulls", "values", "misfits"):
            check(f"{name}.{key}", g[key], w[key])
        distinct = len(w["counts"])
        if distinct <= EXACT_DISTINCT:
            check(f"{name}.distinct", (g["distinct"], g["distinctExact"]), (distinct, True))
        elif g["distinctExact"] or abs(g["distinct"] - distinct) > 0.03 * distinct:
            problems.append(f"{name}.distinct: profile {g['distinct']} (exact "
                            f"{g['distinctExact']}), Python {distinct}: off by more than 3 %")
        check(f"{name}.lengths", {int(n): c for n, c in g["lengths"]}, w["lengths"])
        if w["values"]:
            check(f"{name}.minLength", g["minLength"], min(w["lengths"]))
            check(f"{name}.maxLength", g["maxLength"], max(w["lengths"]))
        # The commonest values: exact counts, or in a summary, lower bounds that miss at most
        # one count per EXACT_VALUES values, and every value above that error among them.
        ranked = sorted(w["counts"].items(), key=lambda kv: (-kv[1], kv[0].encode("utf-8")))
        if g["topExact"]:
            check(f"{name}.top", [(t["value"], t["count"]) for t in g["top"]],
                  [(v, c) for v, c in ranked[:10] if c > 1])
        else:
            error = w["values"] / EXACT_VALUES
            for t in g["top"]:
                true = w["counts"].get(t["value"], 0)
                if not (true - error <= t["count"] <= true):
                    problems.append(f"{name}.top {t['value']!r}: {t['count']} for {true}")
            heavy = [v for v, c in ranked[:10] if c > 2 * error]
            shown = {t["value"] for t in g["top"]}
            for v in heavy:
                if v not in shown:
                    problems.append(f"{name}.top: heavy value {v!r} missing")
        if kind == VARCHAR:
            if w["texts"]:
                check(f"{name}.minimum", g["minimum"], min(w["texts"]).decode("utf-8"))
                check(f"{name}.maximum", g["maximum"], max(w["texts"]).decode("utf-8"))
            continue
        numbers = w["numbers"]
        if not numbers:
            check(f"{name}.histogram", g["histogram"], [])
            continue
        if kind == DATE:
            check(f"{name}.minimum", g["minimum"],
                  (datetime.date(1970, 1, 1) + datetime.timedelta(days=min(numbers))).isoformat())
            check(f"{name}.maximum", g["maximum"],
                  (datetime.date(1970, 1, 1) + datetime.timedelta(days=max(numbers))).isoformat())
        elif kind == INTEGER:
            check(f"{name}.minimum", g["minimum"], str(min(numbers)))
            check(f"{name}.maximum", g["maximum"], str(max(numbers)))
        else:
            check(f"{name}.minimum", g["minimum"], f"{min(numbers):.{int(fmt.split(',')[1])}f}")
            check(f"{name}.maximum", g["maximum"], f"{max(numbers):.{int(fmt.split(',')[1])}f}")
        # Every number in the bin the profile gives for it, the bins contiguous and of one width.
        bins = g["histogram"]
        counts = [0] * len(bins)
        for n in numbers:
            for k, b in enumerate(bins):
                if b["low"] <= n < b["high"]:
                    counts[k] += 1
                    break
            else:
                problems.append(f"{name}.histogram: {n} in no bin")
                break
        check(f"{name}.histogram counts", [b["count"] for b in bins], counts)
        for a, b in zip(bins, bins[1:]):
            if a["high"] != b["low"] or abs((a["high"] - a["low"]) - (b["high"] - b["low"])) > 1e-9:
                problems.append(f"{name}.histogram: bins {a} and {b} not contiguous of one width")
                break
        if len(bins) > 64 or (len(bins) < 16 and max(numbers) - min(numbers) >= 64 * (bins[0]["high"] - bins[0]["low"])):
            problems.append(f"{name}.histogram: {len(bins)} bins")
    return problems


def generated(path, rows):
    rng = random.Random(42)
    words = ["Paris", "Lyon", "Nantes", "Évry", "Besançon", "Orléans", "Nîmes", "Brest"]
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("code;ville;montant;quantite;date_op;note\n")
        for n in range(rows):
            r = rng.random()
            # A few heavy values, then many rare ones.
            ville = (rng.choice(words[:3]) if r < 0.45 else rng.choice(words)
                     if r < 0.6 else f"ville-{rng.randint(0, 40000)}")
            amount = f"{rng.lognormvariate(5, 1.5):.2f}".replace(".", ",")
            if rng.random() < 0.01:
                amount = rng.choice(["", "NULL", "n/a", "1,2,3"])
            qty = str(rng.randint(-50, 5000))
            if rng.random() < 0.02:
                qty = rng.choice(["", "null", "12a", " 7 "])
            date = datetime.date(1950, 1, 1) + datetime.timedelta(days=rng.randint(0, 36500))
            date = date.strftime("%d/%m/%Y")
            if rng.random() < 0.005:
                date = rng.choice(["31/02/2020", "2020-01-01", "00/00/0000"])
            note = rng.choice(["", "ok", "à revoir", "<b>gras</b> & \"cité\"",
                               "une note un peu plus longue que les autres"])
            f.write(f"C{n:07d};{ville};{amount};{qty};{date};{note}\n")
    return [("code", VARCHAR, 8), ("ville", VARCHAR, 12), ("montant", DECIMAL, "12,2"),
            ("quantite", INTEGER, 6), ("date_op", DATE, "jj/mm/aaaa"), ("note", VARCHAR, 30)]


DISTRO = "/usr/share/distro-info"
CASES = {
    "debian": (f"{DISTRO}/debian.csv", ",", [
        ("version", DECIMAL, "3,1"), ("codename", VARCHAR, 10), ("series", VARCHAR, 10),
        ("created", DATE, "aaaa-mm-jj"), ("release", DATE, "aaaa-mm-jj"),
        ("eol", DATE, "aaaa-mm-jj"), ("eol_lts", DATE, "aaaa-mm-jj"),
        ("eol_elts", DATE, "aaaa-mm-jj")]),
    "ubuntu": (f"{DISTRO}/ubuntu.csv", ",", [
        ("version", DECIMAL, "4,2"), ("codename", VARCHAR, 15), ("series", VARCHAR, 8),
        ("created", DATE, "aaaa-mm-jj"), ("release", DATE, "aaaa-mm-jj"),
        ("eol", DATE, "aaaa-mm-jj"), ("eol_server", DATE, "aaaa-mm-jj"),
        ("eol_esm", DATE, "aaaa-mm-jj"), ("eol_legacy", DATE, "aaaa-mm-jj")]),
}


def main():
    cli, work, case = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    desc = os.path.join(work, f"{case}.fyk")
    if case == "generated":
        data = os.path.join(work, "generated.txt")
        columns = generated(data, 150000)
        delimiter = ";"
    else:
        data, delimiter, columns = CASES[case]
    write_fyk(desc, case, delimiter, columns)
    env = dict(os.environ, MORVEX_CONFIG_DIR=os.path.join(work, "config"))
    run = subprocess.run([cli, "--log", os.path.join(work, "cli.log"), "profile", desc,
                          "--data", data, "--json"], capture_output=True, text=True, env=env)
    if run.returncode != 0:
        print(f"morvexcli profile failed ({run.returncode}): {run.stderr}")
        return 1
    got = json.loads(run.stdout)
    with open(data, encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f, delimiter=delimiter))[1:]
    problems = compare(got, expected(rows, columns), columns)
    if got["rows"] != len(rows):
        problems.append(f"rows: profile {got['rows']}, Python {len(rows)}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
