#!/usr/bin/python3
"""Boundaries of fixed-width files found by `morvexcli analyse` and by pandas' read_fwf
inference (colspecs='infer', its first 100 rows), each against the widths the files were
written at (bench/fixedwidth_gen.py).

    python3 bench/fixedwidth_compare.py SET_DIR MORVEXCLI

For every file: the boundaries between columns (the positions where a column begins, past the
first), those each reader finds exactly, those it finds that are none; then whether our
description reads the file as fixed-width and whether every column's type is the expected one
(text and flags: a character type; zero-padded whole numbers and implied-scale decimals: a
code, FixedChar; decimals with a point: Decimal; dates: Date aaaammjj). Per set, beside the
figure, the evidence ceiling: the boundaries the rows show at all (evidence() below), so that
the figure can be read against what a perfect reader of every row could find, and the
boundaries missed by the kind of evidence they had; beside it, a widened ceiling that also
counts evidence a careful reader places with good odds though evidence() calls it none
(widened_evidence() below).
"""
import collections
import datetime
import glob
import io
import json
import os
import re
import subprocess
import sys
import tempfile

from pandas.io.parsers.python_parser import FixedWidthReader

CHAR_TYPES = {4, 5, 6}
EXPECTED = {"text": CHAR_TYPES, "flag": CHAR_TYPES, "code": {4}, "decimal": {1}, "date": {2}}
TYPE_NAMES = ["Integer", "Decimal", "Date", "Datetime", "FixedChar", "VariableChar", "Text", "Boolean"]


def truth_starts(truth):
    starts, position = [], 0
    for column in truth["columns"][:-1]:
        position += column["width"]
        starts.append(position)
    return starts


def pandas_starts(path, encoding):
    with open(path, encoding=encoding) as f:
        reader = FixedWidthReader(f, colspecs="infer", delimiter=None, comment=None,
                                  skiprows=None, infer_nrows=100)
        return sorted({start for start, _ in reader.colspecs if start > 0})


def ours(path, cli, work):
    fyk = os.path.join(work, os.path.basename(path) + ".fyk")
    subprocess.run([cli, "analyse", path, "-o", fyk], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=120, cwd=work)
    shown = subprocess.run([cli, "show", fyk, "--json"], capture_output=True, text=True,
                           check=True, timeout=60, cwd=work)
    desc = json.loads(shown.stdout)
    starts, position = [], 0
    for column in desc["columns"][:-1]:
        position += column["WidthInChars"]
        starts.append(position)
    return desc, starts


def bounded_columns(desc, truth):
    """The pairs (our column, the true one) whose start and end were both found, with nothing
    found between them."""
    ours_at, position = {}, 0
    for column in desc["columns"]:
        ours_at[position] = (column, position + column["WidthInChars"])
        position += column["WidthInChars"]
    position = 0
    for k, want in enumerate(truth["columns"]):
        end = position + want["width"]
        last = k + 1 == len(truth["columns"])
        if position in ours_at:
            column, our_end = ours_at[position]
            if our_end == end or (last and column is desc["columns"][-1]):
                yield column, want, position
        position = end


def kind(c):
    return "blank" if c in " \t" else "digit" if c.isdigit() else "letter" if c.isalpha() else "punct"


def date8(text):
    if len(text) != 8 or not text.isdigit():
        return text.strip(" ") == "" or text == "00000000"
    try:
        datetime.date(int(text[:4]), int(text[4:6]), int(text[6:]))
    except ValueError:
        return False
    return 1800 <= int(text[:4]) < 2200


def evidence(rows, header, p, left, right):
    """What a perfect reader of every row sees of the boundary at p between a column of kind
    `left` and one of kind `right`: the kind of evidence in words, or None when the rows show
    none (the boundary could as well be elsewhere, or nowhere)."""
    a = [r[p - 1] for r in rows]
    b = [r[p] for r in rows]
    # (Two rows at least: a change in one row alone is as often a word inside a text; and a
    # value must begin there, a value that ends tells only that its column is that wide.)
    if sum(kind(x) != kind(y) and y != " " for x, y in zip(a, b)) >= 2:
        return "changement de sorte de caractère"
    if header is not None and header[p - 1:p] == " " and header[p:p + 1].strip():
        return "nom de l'en-tête"
    if right == "date" and all(date8(r[p:p + 8]) for r in rows) and not all(
            date8(r[p - 1:p + 7]) for r in rows):
        return "date aaaammjj"
    if left == "date" and p >= 8 and all(date8(r[p - 8:p]) for r in rows) and not all(
            date8(r[p - 7:p + 1]) for r in rows):
        return "date aaaammjj"
    digits = [(x, y) for x, y in zip(a, b) if x.isdigit() and y.isdigit()]
    if digits and all(y == "0" for _, y in digits) and varies([x for x, _ in digits]):
        return "zéros d'un nombre après un chiffre qui varie"
    if "flag" in (left, right) and varies(a) and varies(b):
        return "indicateur d'une lettre"
    return None


def lone_flag(rows, i):
    """Whether position i holds a letter A to Z of at most three values that varies (see
    varies()) between characters that are the same in every row."""
    if i < 1 or i + 1 >= len(rows[0]):
        return False
    column = [r[i] for r in rows]
    constant = lambda k: len({r[k] for r in rows}) == 1 and rows[0][k] != " "
    return (constant(i - 1) and constant(i + 1) and varies(column) and len(set(column)) <= 3
            and all("A" <= c <= "Z" for c in column))


def widened_evidence(rows, p):
    """Evidence the rows give of a boundary that evidence() calls none, read with good odds by a
    careful reader: a flag that varies alone between characters constant in every row (AT, AB,
    AD between a region and a stage of one value) is a column of its own, begun at it and ended
    after it."""
    if lone_flag(rows, p) or lone_flag(rows, p - 1):
        return "indicateur qui varie seul entre des caractères constants"
    return None


def numbers_as_written(rows, at, width):
    """Whether a column the table gives as text holds, as written, numbers that a careful person
    types as numbers: every value but the first row's (a line of names the table kept among its
    rows) a plain number, none with a zero before its first digit (a code keeps those)."""
    values = [r[at:at + width].strip() for r in rows[1:]]
    values = [v for v in values if v]
    return bool(values) and all(re.fullmatch(r"-?(0|[1-9]\d*)(\.\d+)?", v) for v in values)


def days_as_written(rows, at, width):
    """Whether a column the table gives as text holds, as written, days aaaa-mm-jj (ISO 8601)
    only, which a careful person types as days: the table called them text for a day before
    1800 (1787-12-07), a year this script's kinds leave out."""
    values = [r[at:at + width].strip() for r in rows]
    values = [v for v in values if v]
    try:
        return bool(values) and all(
            len(v) == 10 and v[4] == v[7] == "-" and datetime.date.fromisoformat(v) for v in values)
    except ValueError:
        return False


def varies(column):
    """Whether two rows at least hold something else than the commonest character (a single
    row apart says nothing: a 1 among the zeros of a sparse matrix, one T among F)."""
    return len(column) - max(collections.Counter(column).values()) >= 2


def why_none(rows, p):
    """Why the rows show no boundary at p: the kind of the glued characters."""
    a = {r[p - 1] for r in rows}
    b = {r[p] for r in rows}
    if len(a) == 1 and len(b) == 1:
        return "région constante"
    kinds = {kind(r[p]) for r in rows}
    return ("chiffres collés" if kinds <= {"digit"} else "lettres collées" if kinds <= {"letter"}
            else "blancs collés" if kinds <= {"blank"} else "sortes mêlées collées")


def read_rows(path, truth):
    with open(path, encoding=truth.get("encoding", "utf-8"), newline="") as f:
        lines = [l for l in f.read().split("\n") if l]
    header = lines.pop(0) if truth["header"] else None
    width = sum(c["width"] for c in truth["columns"]) + 1
    return [l.ljust(width) for l in lines], header


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    set_dir, cli = sys.argv[1], os.path.abspath(sys.argv[2])
    files = sorted(glob.glob(os.path.join(set_dir, "*.txt")))
    # tuning, held out, held out later, the fourth set, the fifth, the study set, the sixth, the
    # seventh, the eighth, the ninth, the tenth
    groups = {g: new_totals() for g in range(11)}
    print("%-28s %5s | %5s %5s %s | %5s %5s | %s" % ("fichier", "vraies", "nous", "faux", "types",
                                                     "pandas", "faux", "types faux"))
    with tempfile.TemporaryDirectory() as work:
        for path in files:
            name = os.path.basename(path)[:-4]
            with open(path[:-4] + ".truth.json", encoding="utf-8") as f:
                truth = json.load(f)
            expected = set(truth_starts(truth))
            desc, found = ours(path, cli, work)
            found = set(found)
            theirs = set(pandas_starts(path, truth.get("encoding", "utf-8")))
            good, extra = len(found & expected), len(found - expected)
            p_good, p_extra = len(theirs & expected), len(theirs - expected)
            fixed = desc["TypeStructFile"] == 1
            # Typing judged on its own: every column whose two boundaries were found.
            wrong_types, typed = [], 0
            rows, header = read_rows(path, truth)
            careless = 0  # wrong by the written kind only, right by a careful one
            for column, want, at in bounded_columns(desc, truth) if fixed else ():
                typed += 1
                t = column["typeCible"]
                ok = t["type"] in EXPECTED[want["kind"]]
                if ok and want["kind"] == "date":
                    ok = t["fmtDate"] == "aaaammjj"
                if not ok:
                    wrong_types.append("%s:%s→%s" % (want["name"][:12], want["kind"],
                                                     TYPE_NAMES[t["type"]]))
                    careless += ((t["type"] in (0, 1) and numbers_as_written(rows, at, want["width"]))
                                 or (t["type"] == 2 and days_as_written(rows, at, want["width"])))
            types_right = found == expected and not wrong_types
            seen, wide = {}, {}
            position = 0
            for left, right in zip(truth["columns"], truth["columns"][1:]):
                position += left["width"]
                seen[position] = evidence(rows, header, position, left["kind"], right["kind"])
                wide[position] = seen[position] or widened_evidence(rows, position)
            group = truth.get("group", 1 if truth.get("held_out") else 0)
            totals = groups[group]
            totals["files"] += 1
            totals["true"] += len(expected)
            totals["ours"] += good
            totals["ours_extra"] += extra
            totals["pandas"] += p_good
            totals["pandas_extra"] += p_extra
            totals["visible"] += sum(1 for p in expected if seen[p])
            totals["ours_visible"] += sum(1 for p in expected & found if seen[p])
            totals["ours_unseen"] += sum(1 for p in expected & found if not seen[p])
            totals["visible_wide"] += sum(1 for p in expected if wide[p])
            totals["ours_visible_wide"] += sum(1 for p in expected & found if wide[p])
            for p in expected - found:
                totals["missed"][wide[p] or "sans indice : " + why_none(rows, p)] += 1
            totals["ours_exact"] += found == expected
            totals["pandas_exact"] += theirs == expected
            totals["fixed"] += fixed
            totals["types"] += types_right
            totals["types_careful"] += found == expected and len(wrong_types) == careless
            totals["typed"] += typed
            totals["typed_right"] += typed - len(wrong_types)
            totals["typed_files"] += (fixed or not expected) and not wrong_types
            score, p_score = good - extra, p_good - p_extra
            totals["ahead" if score > p_score else "level" if score == p_score else "behind"] += 1
            print("%-28s %5d | %5d %5d %-5s | %5d %5d | %s" % (
                ("", "*", "+", "#", "%", "~", "&", "@", "$", "!", "^")[group] + name[:27], len(expected), good, extra,
                "oui" if types_right else "non", p_good, p_extra,
                ("" if found == expected else "bornes " + ",".join(
                    str(s) for s in sorted(expected ^ found)) + " ") if fixed
                else "non lu en largeur fixe" if expected else "une seule colonne")
                  + " ".join(wrong_types))
    print("(* : table mise à part, jamais regardée pendant le réglage ; + : mise à part plus tard,"
          " tirée après que les règles ont été rendues générales ; # : quatrième ensemble, tiré"
          " avant les règles suivantes ; % : cinquième ensemble, tiré avant les règles suivantes ;"
          " ~ : ensemble d'étude ; & : sixième ensemble, tiré par paquet avant les règles suivantes ;"
          " @ : septième ensemble, tiré par paquet avant les règles suivantes ;"
          " $ : huitième ensemble, tiré de même ; ! : neuvième ensemble, tiré de même ;"
          " ^ : dixième ensemble, tiré de même)")
    for group, title in ((0, "Tables de réglage"), (1, "Tables mises à part"),
                         (2, "Tables mises à part plus tard"), (3, "Quatrième ensemble"),
                         (5, "Ensemble d'étude"), (4, "Cinquième ensemble"), (6, "Sixième ensemble"),
                         (7, "Septième ensemble"), (8, "Huitième ensemble"), (9, "Neuvième ensemble"),
                         (10, "Dixième ensemble"),
                         (None, "Ensemble")):
        t = groups[group] if group is not None else {
            k: sum((g[k] for g in groups.values()), collections.Counter() if k == "missed" else 0)
            for k in groups[0]}
        if t["files"]:
            report(title, t)


def new_totals():
    return {"true": 0, "ours": 0, "ours_extra": 0, "pandas": 0, "pandas_extra": 0,
            "files": 0, "ours_exact": 0, "pandas_exact": 0, "fixed": 0, "types": 0,
            "ahead": 0, "level": 0, "behind": 0, "typed": 0, "typed_right": 0, "typed_files": 0,
            "visible": 0, "ours_visible": 0, "ours_unseen": 0, "visible_wide": 0,
            "ours_visible_wide": 0, "missed": collections.Counter(), "types_careful": 0}


def report(title, t):
    print()
    print("== %s ==" % title)
    print("Fichiers : %d (lus en largeur fixe par morvexcli : %d)" % (t["files"], t["fixed"]))
    print("Bornes exactes, morvexcli : %d/%d (%.1f %%), en trop : %d ; fichiers sans faute : %d"
          % (t["ours"], t["true"], 100.0 * t["ours"] / max(1, t["true"]), t["ours_extra"],
             t["ours_exact"]))
    print("Bornes exactes, pandas read_fwf(colspecs='infer') : %d/%d (%.1f %%), en trop : %d ; "
          "fichiers sans faute : %d" % (t["pandas"], t["true"], 100.0 * t["pandas"] / max(1, t["true"]),
                                        t["pandas_extra"], t["pandas_exact"]))
    print("Rapport morvexcli / pandas (bornes exactes) : %.2f" % (t["ours"] / max(1, t["pandas"])))
    # The evidence ceiling: the boundaries a reader of every row could see at all (a change of
    # the kind of character to a value that begins, in two rows at least, a header's name, a
    # date, the zeros of a number after a digit that varies, a flag beside a character that
    # varies as well, varying meaning in two rows at least); the others sit in constant
    # regions or among glued characters of one kind and could as well be elsewhere.
    print("Plafond des indices (bornes que les lignes montrent) : %d/%d (%.1f %%) ; morvexcli en "
          "trouve %d/%d (%.1f %%), et %d des autres (par ce que montre le reste du fichier)"
          % (t["visible"], t["true"], 100.0 * t["visible"] / max(1, t["true"]), t["ours_visible"],
             t["visible"], 100.0 * t["ours_visible"] / max(1, t["visible"]), t["ours_unseen"]))
    print("Plafond élargi (et un indicateur qui varie seul entre des caractères constants) : "
          "%d/%d (%.1f %%) ; morvexcli en trouve %d/%d (%.1f %%)"
          % (t["visible_wide"], t["true"], 100.0 * t["visible_wide"] / max(1, t["true"]),
             t["ours_visible_wide"], t["visible_wide"],
             100.0 * t["ours_visible_wide"] / max(1, t["visible_wide"])))
    print("Bornes manquées, par indice : " + (", ".join(
        "%s %d" % kv for kv in sorted(t["missed"].items(), key=lambda kv: -kv[1])) or "aucune"))
    print("Types justes (toutes les colonnes du fichier) : %d/%d fichiers ; attente corrigée (une "
          "colonne de nombres écrits sans zéros de tête, une ligne de noms à part, est de nombres, "
          "une de jours aaaa-mm-jj de jours, même si la table la donne pour du texte) : %d/%d fichiers"
          % (t["types"], t["files"], t["types_careful"], t["files"]))
    print("Typage seul (colonnes aux deux bornes trouvées) : %d/%d colonnes justes (%.1f %%) ; "
          "fichiers dont toutes ces colonnes sont justes : %d/%d"
          % (t["typed_right"], t["typed"], 100.0 * t["typed_right"] / max(1, t["typed"]),
             t["typed_files"], t["files"]))
    print("Fichier par fichier (exactes moins en trop) : morvexcli devant %d, à égalité %d, derrière %d"
          % (t["ahead"], t["level"], t["behind"]))

if __name__ == "__main__":
    main()
