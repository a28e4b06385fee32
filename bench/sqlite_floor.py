#!/usr/bin/env python3
"""The SQLite load against SQLite's own floor, the two alternating run after run.

    python3 bench/sqlite_floor.py RUNS MORVEXCLI DESC DATA OUTDIR

The load: `morvexcli load DESC OUTDIR/load.db --data DATA`. The floor: the rows of the loaded
table copied inside SQLite into an empty table of the same columns, in a copy of the loaded
database made before each timed copy, with the load's settings: rollback journal on disk,
synchronous writes off, one transaction. Two copies are timed in every run:
  - `INSERT INTO t2 SELECT * FROM operations`: between two tables of the same columns SQLite
    takes its transfer shortcut (EXPLAIN shows RowData then Insert): each stored record is
    copied as its bytes, no value is read out of it nor any record built;
  - the same with `WHERE 1`, which turns the shortcut off: each row's values are read and a
    record built from them and stored, which is the work of storing a row that any writer
    handing values to SQLite makes it do.
Prints the medians, the ratios of every run to each copy, their min and median, and returns 1
when the median against the copy that builds its records is over the limit.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

LIMIT, AIM = 1.8, 1.4


def timed(command, stdin=None):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stdin=stdin)
    return time.perf_counter() - start


def main():
    runs, cli, desc, data, out = int(sys.argv[1]), *sys.argv[2:6]
    db, copy = f"{out}/load.db", f"{out}/floor.db"

    def load():
        for path in (db, db + "-journal"):
            if os.path.exists(path):
                os.remove(path)
        return timed([cli, "--log", f"{out}/load.log", "-q", "load", desc, db, "--data", data,
                      "--batch", "100000"])

    def floor(where):
        shutil.copyfile(db, copy)
        schema = subprocess.run(["sqlite3", copy,
                                 "SELECT sql FROM sqlite_master WHERE name = 'operations'"],
                                check=True, capture_output=True, text=True).stdout
        create = schema.replace('"operations"', '"t2"', 1).strip() + ";"
        subprocess.run(["sqlite3", copy, create], check=True)
        # The copy does what it says: stored records moved whole, or records built.
        plan = subprocess.run(["sqlite3", copy, f"EXPLAIN INSERT INTO t2 SELECT * FROM operations"
                               f"{where}"], check=True, capture_output=True, text=True).stdout
        if ("MakeRecord" in plan) != bool(where):
            sys.exit(f"sqlite floor: the copy{where} does not take the path it is meant to")
        sql = ("PRAGMA synchronous=OFF;\nBEGIN IMMEDIATE;\n"
               f"INSERT INTO t2 SELECT * FROM operations{where};\nCOMMIT;\n")
        with open(f"{out}/floor_copy.sql", "w") as script:
            script.write(sql)
        with open(f"{out}/floor_copy.sql") as script:
            seconds = timed(["sqlite3", copy], stdin=script)
        counts = subprocess.run(["sqlite3", copy, "SELECT (SELECT count(*) FROM t2) = "
                                 "(SELECT count(*) FROM operations)"],
                                check=True, capture_output=True, text=True).stdout.strip()
        if counts != "1":
            sys.exit("sqlite floor: the copy does not hold every row")
        return seconds

    load(), floor(""), floor(" WHERE 1")  # warm-up
    timings = [(load(), floor(""), floor(" WHERE 1")) for _ in range(runs)]
    median = statistics.median
    print(f"morvexcli load file {median(r[0] for r in timings):6.3f} s   SQLite floor, records "
          f"copied whole {median(r[1] for r in timings):6.3f} s, records built "
          f"{median(r[2] for r in timings):6.3f} s   (medians of {runs})")
    verdict = "MISSED"
    for label, k, judged in (("records copied whole (transfer shortcut)", 1, False),
                             ("records built (the work of storing a row)", 2, True)):
        ratios = sorted(r[0] / r[k] for r in timings)
        line = (f"load / floor, {label}: {' '.join(f'{x:.2f}' for x in ratios)}   "
                f"min {ratios[0]:.2f}   median {median(ratios):.2f}")
        if judged:
            verdict = "ok" if median(ratios) <= LIMIT else "MISSED"
            line += f"   (must <= {LIMIT}, aim <= {AIM}) {verdict}"
        print(line)
    os.remove(copy)
    return 0 if verdict == "ok" else 1


if __name__ == "__main__":
    sys.exit(main())
