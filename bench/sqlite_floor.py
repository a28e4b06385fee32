#!/usr/bin/env python3
"""The SQLite load against SQLite's own floor, the two alternating run after run.

    python3 bench/sqlite_floor.py RUNS MORVEXCLI DESC DATA OUTDIR

The load: `morvexcli load DESC OUTDIR/load.db --data DATA`. The floor: the rows of the loaded
table copied inside SQLite into an empty table of the same columns (`INSERT INTO t2 SELECT *
FROM operations`), in a copy of the loaded database made before each timed copy, with the load's
settings: rollback journal on disk, synchronous writes off, one transaction. Prints the medians,
the ratio of every run, its min and median, and returns 1 when the median is over the limit.
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

    def floor():
        shutil.copyfile(db, copy)
        schema = subprocess.run(["sqlite3", copy,
                                 "SELECT sql FROM sqlite_master WHERE name = 'operations'"],
                                check=True, capture_output=True, text=True).stdout
        create = schema.replace('"operations"', '"t2"', 1).strip() + ";"
        subprocess.run(["sqlite3", copy, create], check=True)
        sql = ("PRAGMA synchronous=OFF;\nBEGIN IMMEDIATE;\n"
               "INSERT INTO t2 SELECT * FROM operations;\nCOMMIT;\n")
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

    load(), floor()  # warm-up
    pairs = [(load(), floor()) for _ in range(runs)]
    ratios = sorted(l / f for l, f in pairs)
    median = statistics.median
    print(f"morvexcli load file {median(p[0] for p in pairs):6.3f} s   SQLite floor (table copied "
          f"to table) {median(p[1] for p in pairs):6.3f} s   (medians of {runs})")
    verdict = "ok" if median(ratios) <= LIMIT else "MISSED"
    print(f"load / floor per run: {' '.join(f'{r:.2f}' for r in ratios)}   min {ratios[0]:.2f}   "
          f"median {median(ratios):.2f}   (must <= {LIMIT}, aim <= {AIM}) {verdict}")
    os.remove(copy)
    return 0 if verdict == "ok" else 1


if __name__ == "__main__":
    sys.exit(main())
