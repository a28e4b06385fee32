#!/usr/bin/python3
"""A learned acceptance of the fixed-width finder's boundary candidates, judged by leaving one
set out: for each set of the boundary benchmark (the group in each NAME.truth.json), a model
trained on the other sets' positions says where the columns of that set's files begin; its
boundaries are counted as bench/fixedwidth_compare.py counts them (exact: a true start found,
false: a start found that is none), set by set, beside the rules' own.

    python3 bench/fixedwidth_learn.py SET_DIR FIXEDWIDTH_SEEN [--model lr|trees] [--neighbours]
                                      [--without-rules] [--importance] [--bench-output FILE]
                                      [--cache FILE.npz]

SET_DIR is the folder bench/fixedwidth.sh fills (the corpus folder's fixedwidth/);
FIXEDWIDTH_SEEN the program bench/fixedwidth_seen.cpp builds, which prints what the finder sees
at each position (each rule's answer alone, shares of rows per transition, the columns on each
side typed). Needs Debian's python3-sklearn. Never part of CI.

Ways of deciding, each judged by leaving one set out:
  rules          the finder as it is (its starts once every rule and veto has spoken)
  learned alone  the model alone over every position: a start where its odds pass one half
                 (of two next to each other, the likelier)
  second stage   the rules' starts, and starts the rules missed added where the odds of a
                 model fitted on those positions pass ADD (never inside a ragged tail the
                 finder folds); ADD chosen for each set by leaving one set out among the others
                 only (1.01: add none). Dropping the rules' starts where the model's odds are
                 low was tried as well: at every threshold it lost more true starts than false.
"""
import argparse
import collections
import glob
import json
import os
import re
import subprocess
import tempfile

import numpy as np

GROUP_NAMES = {0: "réglage", 1: "à part", 2: "plus tard", 3: "quatrième", 5: "étude",
               4: "cinquième", 6: "sixième", 7: "septième", 8: "huitième", 9: "neuvième"}
ORDER = (0, 1, 2, 3, 5, 4, 6, 7, 8, 9)


def truth_starts(truth):
    starts, position = [], 0
    for column in truth["columns"][:-1]:
        position += column["width"]
        starts.append(position)
    return set(starts)


def load(set_dir, seen_tool, cache):
    if cache and os.path.exists(cache):
        d = np.load(cache, allow_pickle=True)
        return list(d["names"]), d["X"], d["y"], d["files"], d["p"], d["group"], d["truth"].item()
    files = sorted(glob.glob(os.path.join(set_dir, "*.txt")))
    truths, groups_of = {}, {}
    for path in files:
        with open(path[:-4] + ".truth.json", encoding="utf-8") as f:
            truth = json.load(f)
        truths[path] = sorted(truth_starts(truth))
        groups_of[path] = truth.get("group", 1 if truth.get("held_out") else 0)
    names, rows, file_of, p_of = None, [], [], []
    with tempfile.TemporaryDirectory() as work:
        # The analysis reads a file of another encoding in UTF-8: so does the finder here.
        read_as, back = [], {}
        for path in files:
            with open(path[:-4] + ".truth.json", encoding="utf-8") as f:
                encoding = json.load(f).get("encoding", "utf-8")
            if encoding.lower() not in ("utf-8", "utf8"):
                copy = os.path.join(work, os.path.basename(path))
                with open(path, encoding=encoding, newline="") as f, \
                        open(copy, "w", encoding="utf-8", newline="") as out:
                    out.write(f.read())
                back[copy] = path
                path = copy
            read_as.append(path)
        for k in range(0, len(read_as), 40):
            out = subprocess.run([seen_tool] + read_as[k:k + 40], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
            if not out:
                continue
            names = out[0].split("\t")[2:]
            for line in out[1:]:
                parts = line.split("\t")
                file_of.append(back.get(parts[0], parts[0]))
                p_of.append(int(parts[1]))
                rows.append([float(v) for v in parts[2:]])
    X = np.array(rows, dtype=np.float32)
    file_of = np.array(file_of)
    p_of = np.array(p_of)
    y = np.array([p in set(truths[f]) for f, p in zip(file_of, p_of)], dtype=np.int8)
    group = np.array([groups_of[f] for f in file_of])
    # Files that gave no position (too short) still count their true starts as missed.
    truth = {f: (groups_of[f], truths[f]) for f in files}
    if cache:
        np.savez_compressed(cache, names=np.array(names), X=X, y=y, files=file_of, p=p_of,
                            group=group, truth=np.array(truth, dtype=object))
    return names, X, y, file_of, p_of, group, truth


def suppress(found, odds):
    """Of starts next to each other, the likelier one (a column of one character is seldom one;
    the model's odds spread over a boundary's two sides)."""
    kept = set()
    for p in sorted(found, key=lambda q: -odds.get(q, 1.0)):
        if p - 1 not in kept and p + 1 not in kept:
            kept.add(p)
    return kept


NOT_FIXED = {}  # file name's first 27 characters -> (exact, false) the bench counted


def not_fixed(bench_output):
    """The files bench/fixedwidth.sh says the analysis does not read as fixed-width, with the
    boundaries it counted for them (whatever decides the columns, the analysis reads them
    otherwise)."""
    with open(bench_output, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"[*+#%~&@$!]?(\S+)\s+(\d+) \|\s+(\d+)\s+(\d+) .*non lu en largeur fixe", line)
            if m:
                NOT_FIXED[m.group(1)] = (int(m.group(3)), int(m.group(4)))


def count(found_by_file, truth, group_of_set):
    """Exact and false starts per set, as bench/fixedwidth_compare.py counts them."""
    per = collections.defaultdict(lambda: [0, 0, 0])
    for f, (g, starts) in truth.items():
        if g != group_of_set and group_of_set is not None:
            continue
        found = found_by_file.get(f, set())
        expected = set(starts)
        name = os.path.basename(f)[:-4][:27]
        if name in NOT_FIXED:
            good, extra = NOT_FIXED[name]
        else:
            good, extra = len(found & expected), len(found - expected)
        per[g][0] += good
        per[g][1] += extra
        per[g][2] += len(expected)
    return per


def make_model(kind):
    from sklearn.ensemble import GradientBoostingClassifier
    from sklearn.linear_model import LogisticRegression
    from sklearn.pipeline import make_pipeline
    from sklearn.preprocessing import StandardScaler
    if kind == "lr":
        return make_pipeline(StandardScaler(), LogisticRegression(C=0.3, max_iter=3000))
    return GradientBoostingClassifier(n_estimators=100, max_depth=3, learning_rate=0.1,
                                      subsample=0.8, random_state=1)


def with_neighbours(names, X, file_of, p_of):
    """Each position's row, and the shares of transitions and the characters' facts at p-1 and
    p+1 (a boundary's evidence is often seen one place early or late)."""
    cols = [k for k, n in enumerate(names) if n.startswith(("t_", "c_"))]
    at = {(f, int(p)): i for i, (f, p) in enumerate(zip(file_of, p_of))}
    parts, more = [X], []
    for d, side in ((-1, "prev_"), (1, "next_")):
        Z = np.zeros((len(X), len(cols)), dtype=np.float32)
        for i, (f, p) in enumerate(zip(file_of, p_of)):
            j = at.get((f, int(p) + d))
            if j is not None:
                Z[i] = X[j, cols]
        parts.append(Z)
        more += [side + names[k] for k in cols]
    return names + more, np.hstack(parts)


def folded_tail(names, X, file_of, p_of):
    """Positions inside a ragged tail the finder folds into its last column: a start added
    there would be folded as well (the fold keeps such files read as fixed-width lines)."""
    before, kept = names.index("rules_before_folding"), names.index("rules_start")
    last, folded = {}, set()
    for i, (f, p) in enumerate(zip(file_of, p_of)):
        if X[i, kept] > 0.5:
            last[f] = max(last.get(f, 0), int(p))
        if X[i, before] > 0.5 and X[i, kept] < 0.5:
            folded.add(f)
    return np.array([f in folded and int(p) > last.get(f, 0) for f, p in zip(file_of, p_of)])


def decide(rules, prob, add, tail):
    """The rules' starts, and the others' whose odds pass `add`."""
    return rules | ((prob >= add) & ~tail)


def gain(per, base, groups):
    return sum((per[g][0] - base[g][0]) - (per[g][1] - base[g][1]) for g in groups)


GRID = (0.6, 0.7, 0.8, 0.9, 0.95, 0.98, 1.01)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("set_dir")
    ap.add_argument("seen_tool")
    ap.add_argument("--model", default="lr", choices=("lr", "trees"))
    ap.add_argument("--neighbours", action="store_true",
                    help="the shares and facts at p-1 and p+1 as well")
    ap.add_argument("--without-rules", action="store_true",
                    help="the model sees no rule's answer, only the rows' shares and facts")
    ap.add_argument("--bench-output",
                    help="the output of bench/fixedwidth.sh: files it says the analysis does not "
                         "read as fixed-width keep its figures whatever the way of deciding")
    ap.add_argument("--importance", action="store_true")
    ap.add_argument("--cache")
    args = ap.parse_args()
    if args.bench_output:
        not_fixed(args.bench_output)
    names, X, y, file_of, p_of, group, truth = load(args.set_dir, args.seen_tool, args.cache)
    rules = X[:, names.index("rules_start")] > 0.5
    tail = folded_tail(names, X, file_of, p_of)
    if args.neighbours:
        names, X = with_neighbours(names, X, file_of, p_of)
    cols = [k for k, n in enumerate(names)
            if not (args.without_rules and n.startswith(("r_", "v_", "rules_")))]
    print("positions %d, true starts among them %d, features %d" % (len(y), int(y.sum()), len(cols)))

    def counted(mask):
        found = collections.defaultdict(set)
        for f, p in zip(file_of[mask], p_of[mask]):
            found[f].add(int(p))
        return count(found, truth, None)

    def fitted(train, test, only_candidates):
        """Odds at the positions of `test` of a model fitted on `train` (the positions the rules
        do not propose only, for the second stage: those it adds)."""
        model = make_model(args.model)
        fit = train & ~rules if only_candidates else train
        model.fit(X[fit][:, cols], y[fit])
        return model, model.predict_proba(X[test][:, cols])[:, 1]

    base = counted(rules)
    alone_mask = np.zeros(len(y), dtype=bool)
    alone_odds = {}
    second_mask = np.zeros(len(y), dtype=bool)
    chosen, importances = {}, []
    for g in ORDER:
        test = group == g
        if not test.any():
            continue
        # The model alone, every position.
        model, prob = fitted(~test, test, False)
        alone_mask[test] = prob >= 0.5
        for f, p, q in zip(file_of[test], p_of[test], prob):
            alone_odds[(f, int(p))] = float(q)
        importances.append(model[-1].coef_[0] if args.model == "lr" else model.feature_importances_)
        # The second stage: its thresholds chosen by leaving one set out among the others
        # only, then applied to this set.
        others = [h for h in ORDER if h != g and (group == h).any()]
        inner = np.zeros(len(y))
        for h in others:
            inner_test = group == h
            inner[inner_test] = fitted(~test & ~inner_test, inner_test, True)[1]
        train = ~test
        inner_base = count_of(counted(rules & train), others)
        best = max(GRID, key=lambda add: (gain(counted(train & decide(rules, inner, add, tail)),
                                               inner_base, others), add))
        chosen[g] = best
        prob = np.zeros(len(y))
        prob[test] = fitted(~test, test, True)[1]
        second_mask[test] = decide(rules, prob, best, tail)[test]
    # (Of starts next to each other, the likelier one.)
    found = collections.defaultdict(set)
    for f, p in zip(file_of[alone_mask], p_of[alone_mask]):
        found[f].add(int(p))
    alone = count({f: suppress(s, {p: alone_odds[(f, p)] for p in s}) for f, s in found.items()},
                  truth, None)
    second = counted(second_mask)
    results = {"rules": base, "learned alone": alone, "second stage": second}
    print("%-10s %22s %22s %22s   %s" % ("set", *results, "ADD chosen"))
    totals = {k: [0, 0, 0] for k in results}
    for g in ORDER:
        cells = []
        for k, per in results.items():
            totals[k] = [a + b for a, b in zip(totals[k], per[g])]
            cells.append(cell(per[g]))
        print("%-10s %s   %s" % (GROUP_NAMES[g], " ".join(cells), chosen.get(g)))
    print("%-10s %s" % ("ensemble", " ".join(cell(t) for t in totals.values())))
    if args.importance:
        mean = np.mean(importances, axis=0)
        print("\n%s over every position, mean over the folds (%s):" % (
            args.model, "coefficients on standardised values" if args.model == "lr" else "importances"))
        for k in np.argsort(-np.abs(mean))[:30]:
            print("  %-34s %+.3f" % (names[cols[k]], mean[k]))


def count_of(per, groups):
    return {g: per[g] for g in groups}


def cell(v):
    e, fa, t = v
    return "%22s" % ("%d/%d %.1f%% faux %d" % (e, t, 100.0 * e / max(1, t), fa))


if __name__ == "__main__":
    main()
