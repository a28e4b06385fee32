#!/usr/bin/env python3
"""Writes the delimited benchmark file read through bench/delimited.fyk.

    python3 bench/gen_delimited.py ROWS OUTPUT

ROWS data rows (1000000 gives about 130 MB) after a header line, CR LF line ends, 7 columns
separated by ";": an integer code, two text fields in double quotes (some holding ";"), a
decimal amount with a decimal comma, an integer quantity, a date jj/mm/aaaa and a quoted
comment. The same arguments always give the same bytes (fixed seed).
"""
import random
import sys

HEADER = "code;nom;libelle;montant;quantite;date_operation;commentaire"

NAMES = ["DUPONT", "MARTIN", "BERNARD", "DURAND", "LEFEBVRE", "MOREAU", "LAURENT", "SIMON",
         "MICHEL", "GARCIA", "ROUX", "FOURNIER", "GIRARD", "BONNET", "LAMBERT", "FONTAINE"]
FIRST = ["Jean", "Marie", "Pierre", "Anne", "Luc", "Claire", "Paul", "Sophie", "Louis", "Julie"]
WORDS = ["compte", "client", "facture", "livraison", "reglement", "avoir", "commande", "stock",
         "agence", "remise", "taux", "echeance", "solde", "virement", "cheque", "prelevement",
         "Paris", "Lyon", "Nantes", "Lille", "Rennes", "Brest", "Dijon", "Nice"]


def text(rng, low, high):
    """A few words; now and then two parts joined by "; " (a delimiter inside quotes)."""
    words = [rng.choice(WORDS) for _ in range(rng.randint(low, high))]
    if len(words) > 2 and rng.random() < 0.2:
        cut = rng.randint(1, len(words) - 1)
        return " ".join(words[:cut]) + "; " + " ".join(words[cut:])
    return " ".join(words)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: gen_delimited.py ROWS OUTPUT")
    rows = int(sys.argv[1])
    rng = random.Random(20240517)
    with open(sys.argv[2], "w", encoding="ascii", newline="") as out:
        lines = [HEADER]
        for n in range(1, rows + 1):
            name = f"{rng.choice(NAMES)} {rng.choice(FIRST)}"
            amount = rng.randint(-5000000, 99999999)
            sign = "-" if amount < 0 else ""
            amount = abs(amount)
            lines.append(
                f'{n};"{name}";"{text(rng, 2, 6)}";{sign}{amount // 100},{amount % 100:02d};'
                f"{rng.randint(0, 9999)};{rng.randint(1, 28):02d}/{rng.randint(1, 12):02d}/"
                f'{rng.randint(1990, 2030)};"{text(rng, 3, 10)}"')
            if len(lines) >= 10000:
                out.write("\r\n".join(lines) + "\r\n")
                lines = []
        if lines:
            out.write("\r\n".join(lines) + "\r\n")


if __name__ == "__main__":
    main()
