#include "datafile/fixedwidth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datafile/detect.h"

namespace {

// `text` padded with blanks (left-aligned) or zeros (right-aligned numbers) to `width`
// characters.
std::string left(const std::string& text, size_t width) {
    size_t chars = 0;
    for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
    return text + std::string(width - chars, ' ');
}
std::string zeros(long value, size_t width) {
    std::string digits = std::to_string(value);
    return std::string(width - digits.size(), '0') + digits;
}

// Bytes read one a character, as a file in Windows-1252 is (0xA4 is ¤), in UTF-8.
std::string bytesAsLatin1(const std::string& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::vector<std::string_view> views(const std::vector<std::string>& lines) {
    return {lines.begin(), lines.end()};
}

struct Person {
    const char* name;
    const char* first;
    const char* born;
    const char* town;
    long amount;  // cents
    char flag;
};

const Person kPeople[] = {
    {"DUPONT", "Jean", "19750312", "Paris", 125050, 'O'},
    {"MARTIN", "Paul", "19800101", "Lyon", 30000, 'N'},
    {"DURAND", "Marie", "19911231", "Marseille", 1200075, 'O'},
    {"PETIT", "Luc", "20000229", "Lille", 110, 'N'},
    {"LEROY", "Anne-Sophie", "19661105", "Saint-Étienne", 99990, 'O'},
    {"MOREAU", "Théo", "20101030", "Aix", 4520, 'O'},
    {"SIMON", "Léa", "19580717", "Brest", 77, 'N'},
    {"LAURENT", "Hugo", "19990909", "Toulouse", 2500000, 'N'},
};

struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<int> widths;
    bool header = false;  // the first line names the columns
};

std::vector<Case> boundaryCases() {
    std::vector<Case> cases;
    {
        // A zero-padded number glued to a name, a flag glued to the next number, a date.
        Case c{"numéro collé au nom, date, ville, montant, indicateur", {}, {5, 10, 12, 8, 15, 10, 1, 8}};
        long n = 0;
        for (const Person& p : kPeople) {
            ++n;
            c.lines.push_back(zeros(n, 5) + left(p.name, 10) + left(p.first, 12) + p.born +
                              left(p.town, 15) + zeros(p.amount / 100, 7) + "." +
                              zeros(p.amount % 100, 2) + p.flag + zeros(n * 37, 8));
        }
        cases.push_back(c);
    }
    {
        // A date then a town: eight digits that are a real day end where the letters begin.
        Case c{"date puis ville", {}, {6, 8, 16}};
        long n = 0;
        for (const Person& p : kPeople) c.lines.push_back(left(std::to_string(++n * 7), 6) + p.born + left(p.town, 16));
        cases.push_back(c);
    }
    {
        // A remark left blank in most rows still begins where it begins in the others.
        Case c{"colonne vide dans la plupart des lignes", {}, {10, 14, 6}};
        int i = 0;
        for (int round = 0; round < 4; ++round)
            for (const Person& p : kPeople) {
                const bool remark = i++ % 8 == 3;
                c.lines.push_back(left(p.name, 10) + left(remark ? "à rappeler" : "", 14) + zeros(i, 6));
            }
        cases.push_back(c);
    }
    {
        // Two record lengths: some rows carry one more field.
        Case c{"lignes de deux longueurs", {}, {8, 10, 15, 6}};
        int i = 0;
        for (const Person& p : kPeople) {
            std::string line = p.born + left(p.name, 10) + left(p.town, 15);
            if (i++ % 2) line += zeros(i * 11, 6);
            c.lines.push_back(line);
        }
        cases.push_back(c);
    }
    {
        // Trailing blanks cut: the last column ragged.
        Case c{"dernière colonne irrégulière", {}, {4, 8, 1, 16}};
        int i = 0;
        for (const Person& p : kPeople)
            c.lines.push_back(zeros(++i, 4) + p.born + p.flag + std::string(p.town));
        cases.push_back(c);
    }
    {
        // Identifiers of several widths whose letters and digits change at the same places in
        // the long ones (no column inside them), a fixed prefix, then a length and a flag.
        Case c{"identifiants de plusieurs longueurs, préfixe fixe", {}, {23, 10, 1, 8}};
        const char kHex[] = "0123456789abcdef";
        const char* names[] = {"chr1", "chr2", "chr10", "chr1_KI270706v1_random",
                               "chr1_KI270707v1_random", "chrUn_KI270302v1", "chrUn_KI270304v1",
                               "chr22_KI270731v1_random", "chrX", "chrM"};
        for (int i = 0; i < 30; ++i) {
            const std::string name = names[i % 10];
            c.lines.push_back(left(name, 23) + zeros(248956 - i * 7919, 10) +
                              (name.size() > 5 ? "U" : "A") + "0x0f3c" + kHex[(i * 7) % 16] +
                              kHex[(i * 5 + 3) % 16]);
        }
        cases.push_back(c);
    }
    {
        // Zero-padded numbers glued to each other, some left out (blanks): where the blanks
        // of a value left out begin and end, a column does, though its zeros say nothing
        // (decimals written to four places, then padding); zeros left out with the value
        // before them are its decimals.
        Case c{"valeurs absentes entre des nombres collés", {}, {5, 10, 8, 8, 4}};
        for (int i = 0; i < 40; ++i) {
            char weight[16], hours[16];
            snprintf(weight, sizeof weight, "%010.4f", (i * 7919 % 5000000) / 10000.0);
            snprintf(hours, sizeof hours, "%08.4f", (i * 37 % 200) / 10.0);
            c.lines.push_back(zeros(i + 1, 5) + weight + (i % 5 == 2 ? std::string(8, ' ') : zeros(i * 613 % 9000, 8)) +
                              (i % 6 == 1 ? std::string(8, ' ') : std::string(hours)) + zeros(i % 5 + 1, 4));
        }
        cases.push_back(c);
    }
    {
        // A flag of a few letters after digits, then a text whose values begin alike (and
        // is left out in some rows): the flag is a column of its own.
        Case c{"indicateur puis texte d'un même début", {}, {10, 1, 8, 6}};
        const char* molecules[] = {"chr1", "chr2", "chrUn", "", "chr10", "", "chrM", ""};
        for (int i = 0; i < 40; ++i) {
            const std::string molecule = molecules[i % 8];
            c.lines.push_back(zeros(248956422L / (i + 1), 10) + (molecule.empty() ? "N" : i % 3 ? "A" : "U") +
                              left(molecule, 8) + zeros(i * 17 % 1000 + 1000, 6));
        }
        cases.push_back(c);
    }
    {
        // A few rows of texts of several words, digits among them, then numbers: no column
        // inside the texts where a word goes on after one blank in another row.
        Case c{"textes de plusieurs mots, chiffres dedans, peu de lignes", {}, {16, 5, 6}};
        const char* places[] = {"Lyon RX4", "Lyon RX4 Nord", "Aix Vo4 Drive", "Valence",
                                "Paris 2C", "Nancy  Est", "Brest", "Dijon"};
        int i = 0;
        for (const char* place : places) {
            ++i;
            c.lines.push_back(left(place, 16) + zeros(100 + i * 37, 5) + zeros(i * 611 % 9000 + 1000, 6));
        }
        cases.push_back(c);
    }
    {
        // Hexadecimal addresses (0x, then mostly digits) before a zero-padded size: 0x is part
        // of the number.
        Case c{"adresses hexadécimales puis taille", {}, {8, 7}};
        const char kHex[] = "0123456789abcdef";
        for (int i = 0; i < 40; ++i) {
            std::string address = "0x0";
            for (int k = 0; k < 5; ++k) address += kHex[(i * 7 + k * 5 + i * k) % (i % 10 ? 10 : 16)];
            c.lines.push_back(address + zeros(i * 97 % 5000 + 1, 7));
        }
        cases.push_back(c);
    }
    {
        // Names made of a repeated word and a number (Canal 01, Canal 02...): one value, no
        // column after the word.
        Case c{"mot répété puis numéro dans un texte", {}, {14, 6}};
        for (int i = 0; i < 34; ++i) {
            char name[16];
            snprintf(name, sizeof name, i % 9 == 4 ? "Relais %02d" : "Canal %02d", i + 1);
            c.lines.push_back(left(name, 14) + zeros(156000 + i * 25, 6));
        }
        cases.push_back(c);
    }
    {
        // An amount at an implied scale of four (its last four digits zeros in every row),
        // then a measure left out in some rows: the zeros are the amount's, no column of
        // zeros alone.
        Case c{"échelle implicite finie par des zéros, puis valeur absente", {}, {5, 11, 8}};
        for (int i = 0; i < 40; ++i) {
            char hours[16];
            snprintf(hours, sizeof hours, "%08.4f", (i * 37 % 200) / 10.0 + 0.0125 * (i % 4));
            c.lines.push_back(zeros(i + 1, 5) + zeros((i * 613 % 9000 + 1) * 10000L, 11) +
                              (i % 6 == 1 ? std::string(8, ' ') : std::string(hours)));
        }
        cases.push_back(c);
    }
    {
        // A short file: six rows only, zero-padded numbers glued to each other after a name;
        // only zeros in every row after varied digits tell where each number begins.
        Case c{"six lignes, nombres complétés de zéros collés", {}, {10, 3, 9}};
        int i = 0;
        for (const Person& p : kPeople)
            if (i++ < 6) c.lines.push_back(left(p.name, 10) + zeros(20 + i * 7, 3) + zeros(p.amount, 9));
        cases.push_back(c);
    }
    {
        // Records of eight characters: a two-digit code, then an amount padded with zeros.
        Case c{"lignes courtes : code puis montant", {}, {2, 6}};
        const char* amounts[] = {"0005.3", "0006.0", "0005.7", "0003.3", "0009.1", "0004.4", "0005.1", "0004.9"};
        for (int k = 0; k < 8; ++k) c.lines.push_back(zeros(k * 3 % 10 + 10 * (k % 2), 2) + amounts[k]);
        cases.push_back(c);
    }
    {
        // Names of several widths, the longest filling their column, glued to a zero-padded
        // size: the size begins after the blanks of the short names and at the zeros glued to
        // the long ones.
        Case c{"texte qui remplit sa colonne collé à un nombre complété de zéros", {}, {16, 9, 4}};
        const char* names[] = {"chr1", "chrUn_KN149691v1", "chr12", "chrUn_KN150048v1", "chrM"};
        for (int i = 0; i < 30; ++i)
            c.lines.push_back(left(names[i % 5], 16) + zeros(58871917L / (i + 1) + i, 9) + zeros(i * 7 % 90 + 3, 4));
        cases.push_back(c);
    }
    {
        // A text of several widths, a flag after its blanks, then a second text whose values
        // meet every flag: the flag is a column of its own on both sides.
        Case c{"indicateur entre deux textes croisés", {}, {15, 1, 10, 6}};
        const char* tools[] = {"data.table", "readr", "vroom", "vroom_no_altrep"};
        const char* steps[] = {"setup", "read", "print", "aggregate", "head"};
        for (int i = 0; i < 60; ++i)
            c.lines.push_back(left(tools[i / 15], 15) + "DBP"[i % 3] + left(steps[i / 3 % 5], 10) +
                              zeros(i * 7919 % 90000 + 1, 6));
        cases.push_back(c);
    }
    {
        // A number glued to names of a repeated word and a number (001SEA 01), lists written
        // with a comma and a blank (C, F), codes that mix digits and letters (0B1, 33M): no
        // column inside any of them.
        Case c{"mot répété après un numéro collé, listes à virgules, codes mêlés", {}, {3, 9, 12, 4, 6}};
        const char* lists[] = {"A", "C, F", "A, B", "C, D, G", "L", "D, M"};
        const char* codes[] = {"00M", "01G", "0B1", "1A9", "2J5", "33M", "46A", "0L9"};
        for (int i = 0; i < 40; ++i) {
            char name[16];
            snprintf(name, sizeof name, i % 7 == 3 ? "PMR %02d" : "SEA %02d", i % 30 + 1);
            c.lines.push_back(zeros(i + 1, 3) + left(name, 9) + left(lists[i % 6], 12) + left(codes[i % 8], 4) +
                              zeros(i * 7919 % 90000 + 11, 6));
        }
        cases.push_back(c);
    }
    {
        // Twelve rows: decimals written to three places, then a text that begins with digits
        // in half the rows (5 in.) and letters in the others (No. 18); then weights at an
        // implied scale, most ending in zero, glued to a zero-padded decimal.
        Case c{"décimales à échelle fixe puis texte, nombres finis par des zéros collés", {}, {8, 8, 6, 6}};
        const long weights[] = {2620, 2875, 3215, 3460, 3440, 2770, 3570, 1935, 2200, 3150, 1615, 2465};
        for (int i = 0; i < 12; ++i) {
            char opening[16], size[16], quarter[16];
            snprintf(opening, sizeof opening, "%08.3f", 125.0 / (i + 1));
            snprintf(size, sizeof size, i % 2 ? "No. %d" : "%d in.", i * 5 + 3);
            snprintf(quarter, sizeof quarter, "%06.2f", 14.5 + i * 0.71);
            c.lines.push_back(std::string(opening) + left(size, 8) + zeros(weights[i], 6) + quarter);
        }
        cases.push_back(c);
    }
    {
        // A header line, then amounts written to four places (two used) glued to a tip at an
        // implied scale: the zeros between them say nothing, the name TIP after the blanks of
        // the header says where the tip begins.
        Case c{"en-tête, décimales finies par des zéros collées à un nombre", {}, {5, 10, 8, 6}, true};
        c.lines.push_back(left("NUM", 5) + left("TOTAL", 10) + left("TIP", 8) + left("JOUR", 6));
        const char* days[] = {"sun", "sat", "thurs", "fri"};
        for (int i = 0; i < 30; ++i) {
            char total[16];
            snprintf(total, sizeof total, "%010.4f", 10 + i * 1.37);
            c.lines.push_back(zeros(i + 1, 5) + total + zeros(10000 + i * 1300, 8) + left(days[i % 4], 6));
        }
        cases.push_back(c);
    }
    {
        // A flag of one value, then hexadecimal numbers written 0x..., short ones padded with
        // blanks and long ones (ending in a digit) filling their column: each number begins
        // at its 0x, not between its 0 and its x.
        Case c{"indicateur puis nombres hexadécimaux 0x", {}, {1, 18, 18, 2}};
        const char kHex[] = "0123456789abcdef";
        for (int i = 0; i < 40; ++i) {
            const int digits = i % 2 ? 16 : 8;
            std::string in = "0x", out = "0x";
            for (int k = 0; k < digits; ++k) {
                in += kHex[(i * 7 + k * 3 + i * k) % (k + 1 == digits ? 10 : 16)];
                out += kHex[(i * 5 + k * 11 + 2 * i * k) % 16];
            }
            c.lines.push_back("N" + left(in, 18) + left(out, 18) + zeros(i % 3 + 2, 2));
        }
        cases.push_back(c);
    }
    {
        // A flag of one value, a hexadecimal prefix of six digits (no 0x), then the name of
        // its maker: the code begins after the flag and ends where the name's letters do.
        Case c{"indicateur, code hexadécimal sans 0x, nom", {}, {1, 6, 24}};
        const char kHex[] = "0123456789ABCDEF";
        const char* makers[] = {"Rockwell Automation", "Cisco Systems, Inc", "IGT", "Hewlett Packard",
                                "Realme Chongqing", "GUANGDONG OPPO", "American Micro-Fuel", "BYD Precision"};
        for (int i = 0; i < 40; ++i) {
            std::string prefix;
            for (int k = 0; k < 6; ++k) prefix += kHex[(i * 7 + k * 5 + i * k * 3) % 16];
            c.lines.push_back("M" + prefix + left(makers[i % 8], 24));
        }
        cases.push_back(c);
    }
    {
        // Two decimals written to four places (one used) glued to each other, both left out
        // in some rows and the first alone in two: those two rows say where the second
        // begins, and its padding zero in every other row agrees.
        Case c{"valeur absente seule dans deux lignes entre des décimales collées", {}, {5, 8, 7, 4}};
        for (int i = 0; i < 40; ++i) {
            char first[16], second[16];
            snprintf(first, sizeof first, "%08.4f", (i * 37 % 200) / 10.0);
            snprintf(second, sizeof second, "%07.4f", (i % 9) / 2.0 + 0.5);
            const bool bothOut = i % 6 == 1;
            const bool firstOut = i == 8 || i == 27;
            c.lines.push_back(zeros(i + 1, 5) + (bothOut || firstOut ? std::string(8, ' ') : std::string(first)) +
                              (bothOut ? std::string(7, ' ') : std::string(second)) + zeros(i % 5 + 1, 4));
        }
        cases.push_back(c);
    }
    {
        // Phrases in sentence case whose first words all have five letters, glued to a code:
        // the small letters one blank after them go on the phrase.
        Case c{"phrases dont les premiers mots ont une longueur", {}, {3, 44, 1}};
        const char* phrases[] = {"Cloud top temperature", "Cloud phase", "Clear sky probability",
                                 "Error in upper layer cloud optical depth", "Lower layer cloud top pressure",
                                 "Cloud optical depth", "Upper layer cloud top pressure", "Cloud albedo"};
        for (int i = 0; i < 27; ++i)
            c.lines.push_back(zeros(i * 3 % 40, 3) + left(phrases[i % 8], 44) + (i % 5 ? "U" : "N"));
        cases.push_back(c);
    }
    {
        // A signed code of three digits, then its label: a word in half the rows, a text that
        // begins with digits (4yr College) in a quarter, nothing in the rest. The code is a
        // number in every row up to the label, no longer past it.
        Case c{"code signé puis libellé commençant parfois par des chiffres", {}, {10, 3, 16, 4}};
        const char* words[] = {"Yes", "No", "Married", "Widowed", "Divorced", "Separated"};
        const char* digitFirst[] = {"4yr College", "12th", "2yr College"};
        for (int i = 0; i < 40; ++i) {
            const std::string code = i % 4 == 0 ? "-0" + std::to_string(i % 5 + 1) : zeros(i % 12, 3);
            const std::string label = i % 4 == 0 ? "" : i % 4 == 3 ? digitFirst[i % 3] : words[i % 6];
            c.lines.push_back(left(i % 3 ? "marital" : "smoke91", 10) + code + left(label, 16) + zeros(i * 37 % 999 + 1, 4));
        }
        cases.push_back(c);
    }
    {
        // Names in capitals whose fourth or fifth word begins at one place in most rows (LATIN
        // SMALL LETTER A WITH BREVE, LATIN CAPITAL LETTER B): the phrase goes on there, its
        // column ends at its padding.
        Case c{"noms en capitales de mots de même longueur", {}, {6, 40, 2}};
        const char* marks[] = {"BREVE", "TILDE", "ACUTE", "GRAVE", "MACRON", "OGONEK", "CARON"};
        for (int i = 0; i < 40; ++i) {
            const std::string letter(1, char('A' + i % 26));
            const std::string name = i % 5 == 4   ? (i % 2 ? "AMPERSAND" : "<control>")
                                     : i % 3 == 0 ? "LATIN CAPITAL LETTER " + letter
                                                  : "LATIN SMALL LETTER " + letter + " WITH " + marks[i % 7];
            c.lines.push_back(zeros(i * 29 + 97, 4) + "  " + left(name, 40) + (i % 5 == 4 ? "Po" : "Ll"));
        }
        cases.push_back(c);
    }
    {
        // Words in EUC-JP, two bytes a character, read one byte a character (the analysis
        // reads such a file as Windows-1252): the first byte of a kana stands in most rows at
        // one place, a kanji's in the others, between bytes of every value. No flag there:
        // the words end at their padding, then come numbers.
        Case c{"mots en EUC-JP lus octet par octet", {}, {14, 5, 5, 6}};
        for (int i = 0; i < 40; ++i) {
            std::string word;
            for (int k = 0; k < 3 + i % 3; ++k) {
                const bool kana = k >= 2 && !(k == 3 && i % 5 == 0);
                word += static_cast<char>(kana ? 0xA4 : k == 3 ? 0xBC : 0xB0 + (i * 7 + k * 3) % 24);
                word += static_cast<char>(k == 2 ? 0xA1 + i % 8 * 3 : 0xA1 + (i * 13 + k * 29) % 80);
            }
            c.lines.push_back(bytesAsLatin1(word) + std::string(14 - word.size(), ' ') + zeros(760 + i % 7, 5) +
                              zeros(760 + i % 7, 5) + zeros(7000 + i * 37 % 900, 6));
        }
        cases.push_back(c);
    }
    {
        // Monthly means written to three places whose third is a zero in every row, each glued
        // to the zero-padded next one: the zeros after the second place could be either's, but
        // the last column, at the line's end, shows that the decimals are three.
        Case c{"décimales à une échelle, finies par des zéros, collées", {}, {6, 8, 9, 8}};
        for (int i = 0; i < 40; ++i) {
            char jan[16], feb[16], mar[16];
            snprintf(jan, sizeof jan, "%08.3f", 20 + (i * 37 % 700) / 100.0);
            snprintf(feb, sizeof feb, "%09.3f", 21 + (i * 53 % 700) / 100.0);
            snprintf(mar, sizeof mar, "%08.3f", 19 + (i * 71 % 700) / 100.0);
            c.lines.push_back(zeros(1950 + i, 6) + jan + feb + mar);
        }
        cases.push_back(c);
    }
    {
        // A number, a flag of one value (X), then a word in EUC-JP read one byte a character:
        // the word begins where the letters stop being A to Z, in every row.
        Case c{"indicateur A à Z collé à un mot d'une autre écriture", {}, {5, 1, 12, 6}};
        for (int i = 0; i < 40; ++i) {
            std::string word;
            for (int k = 0; k < 2 + i % 4; ++k) {
                word += static_cast<char>(k == 0 ? 0xB0 + (i * 7) % 24 : 0xA4);
                word += static_cast<char>(0xA1 + (i * 13 + k * 29) % 80);
            }
            c.lines.push_back(zeros(i * 37 % 900 + 100, 5) + "X" + bytesAsLatin1(word) +
                              std::string(12 - word.size(), ' ') + zeros(7000 + i * 37 % 900, 6));
        }
        cases.push_back(c);
    }
    {
        // Five answers T or F glued after a number, T seldom and never in two neighbours of
        // one row: each answer is a column, as both T then F and F then T show between them.
        Case c{"réponses T ou F côte à côte, rarement T", {}, {4, 1, 1, 1, 1, 1, 6}};
        for (int i = 0; i < 60; ++i) {
            std::string answers;
            for (int k = 0; k < 5; ++k) answers += (i + k * 2) % 7 == 0 ? 'T' : 'F';
            c.lines.push_back(zeros(i + 1, 4) + answers + zeros(i * 7919 % 90000 + 11, 6));
        }
        cases.push_back(c);
    }
    {
        // Numbers written in scientific notation to a precision that varies from row to row,
        // a sign in some, then a day written aaaa-mm-jj: the e, the exponent's sign and the
        // day's dashes are inside values, which begin after the padding of the ones before.
        Case c{"notation scientifique et jours aaaa-mm-jj", {}, {10, 24, 24, 12, 5}};
        for (int i = 0; i < 40; ++i) {
            char x[32], y[32], day[16];
            snprintf(x, sizeof x, "%.*e", i % 4 ? 15 : 14,
                     (i % 3 ? 1 : -1) * (1.0 + i * 0.37) * (i % 5 ? 1e-2 : 10.0));
            snprintf(y, sizeof y, "%.*e", i % 5 ? 12 : 11,
                     (i % 4 ? -1 : 1) * (3.0 + i * 1.9) * (i % 2 ? 1e3 : 0.1));
            snprintf(day, sizeof day, "%04d-%02d-%02d", 1787 + i * 5, 1 + i % 12, 1 + i * 7 % 28);
            c.lines.push_back(left(kPeople[static_cast<size_t>(i) % std::size(kPeople)].name, 10) +
                              left(x, 24) + left(y, 24) + left(day, 12) +
                              zeros(i * 7919 % 90000 + 11, 5));
        }
        cases.push_back(c);
    }
    {
        // Identifiers that mix letters and digits (N1A1, N12A2: nest and egg), then a flag: the
        // changes of kind inside them are no columns, their text begins after the name's blanks.
        Case c{"identifiants mêlant lettres et chiffres", {}, {10, 7, 1, 5}};
        for (int i = 0; i < 40; ++i) {
            const std::string id =
                "N" + std::to_string(i / 2 + 1) + "A" + std::to_string(i % 2 + 1);
            c.lines.push_back(left(kPeople[static_cast<size_t>(i) % std::size(kPeople)].name, 10) +
                              left(id, 7) + (i % 3 ? "Y" : "N") + zeros(i * 7919 % 90000 + 11, 5));
        }
        cases.push_back(c);
    }
    {
        // A remark filled in two rows of sixty, after a name's padding, before a town: no row
        // goes on across its start, so the two rows that begin there show the column.
        Case c{"colonne remplie dans deux lignes seulement", {}, {10, 14, 15, 6}};
        for (int i = 0; i < 60; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + left(i == 17 || i == 41 ? "à rappeler" : "", 14) +
                              left(p.town, 15) + zeros(i * 37 % 9000 + 1, 6));
        }
        cases.push_back(c);
    }
    {
        // Trailing blanks cut and a last remark in four lines of forty: the lines are of many
        // lengths and few reach the remark, which is read as the end of the town column so that
        // the file still reads as fixed-width lines.
        Case c{"lignes irrégulières, dernière colonne presque toujours vide", {}, {5, 10, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            std::string line = zeros(i * 37 % 900 + 1, 5) + left(p.name, 10) + left(p.town, 15) +
                               (i % 10 == 7 ? "à rappeler" : "");
            c.lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
        }
        cases.push_back(c);
    }
    {
        // A region of one value in the rows read (A), an island that varies (T, B, D), then a
        // stage of one value: the island's letter varies alone between constant characters.
        Case c{"indicateur qui varie seul entre des colonnes constantes", {}, {10, 1, 1, 22, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + "A" + "TBD"[i * 7 % 3] +
                              left("Adult, 1 Egg Stage", 22) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Identifiers of a letter and a number of one to three digits, left-aligned (F0, F12,
        // F103): a number of its own would be zero-padded or aligned to its column's end.
        Case c{"identifiants d'une lettre et d'un nombre aligné à gauche", {}, {6, 10, 5}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left("F" + std::to_string(i * i * 7 % 300), 6) + left(p.name, 10) +
                              zeros(i * 37 % 900 + 1, 5));
        }
        cases.push_back(c);
    }
    {
        // Units of several words, whose third word begins at one place in most rows, one blank
        // after the second (mol m-2 s-1, mol m-3 or kg): a phrase that goes on, not a column.
        Case c{"unités de plusieurs mots, un blanc entre eux", {}, {10, 18, 15}};
        const char* units[] = {"mol m-3 or kg m-3",
                               "mol m-2 s-1",
                               "kg m-2 s-1",
                               "Pa",
                               "W m-2",
                               "mol m-3",
                               "m s-1",
                               "degC",
                               "kg m-2",
                               "m2 s-1",
                               "psu",
                               "1"};
        for (int i = 0; i < 48; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + left(units[i * 7 % 12], 18) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Zones written in Roman numerals, left-aligned (I, II, III, IV, XII): short words of
        // capitals of several lengths, not flags side by side.
        Case c{"chiffres romains alignés à gauche", {}, {10, 15, 4}};
        const char* zones[] = {"I", "II", "III", "IV", "VI", "XI", "XII", "XV", "IX"};
        for (int i = 0; i < 45; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + left(p.town, 15) + left(zones[i * 7 % 9], 4));
        }
        cases.push_back(c);
    }
    {
        // Stations' positions in degrees and minutes, each ended by its hemisphere letter and
        // the longitude glued to the latitude (50 11 N66 07 W, 12 3 S 77 02 W, 152 34 W): the
        // blanks between the groups begin no column, the letter ends one.
        Case c{"degrés et minutes suivis de leur lettre, collés", {}, {10, 7, 9, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string lat = std::to_string(i * 7 % 80 + 1) + " " + zeros(i * 13 % 60, 2) +
                                    " " + "NS"[i % 3 == 0];
            const std::string lon = std::to_string(i * 37 % 180 + 1) + " " +
                                    (i % 9 == 4 ? std::to_string(i % 10) : zeros(i * 11 % 60, 2)) +
                                    " " + "EW"[i % 2];
            c.lines.push_back(left(p.name, 10) + left(lat, 7) + left(lon, 9) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Months written aaaa-mm as text (1981-09, 2012-04): the dash between the year and the
        // month is no sign of a number that begins there.
        Case c{"mois aaaa-mm écrits en texte", {}, {10, 10, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(
                left(p.name, 10) +
                left(std::to_string(1981 + i * 7 % 40) + "-" + zeros(i * 5 % 12 + 1, 2), 10) +
                left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // References in brackets that begin a text, more words after them in some rows
        // ([RFC1122], Section 3.2.1.3): letters then digits inside the brackets begin nothing.
        Case c{"références entre crochets au début d'un texte", {}, {10, 30, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string ref = "[RFC" + std::to_string(1100 + i * 397 % 8000) + "]" +
                                    (i % 3 == 0 ? ", Section 3.2.1." + std::to_string(i % 7) : "");
            c.lines.push_back(left(p.name, 10) + left(ref, 30) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Codes written as a list in parentheses, of one to three bytes, a name glued after the
        // longest ((0x00, 0x20, 0x3C)Digital Music, (0x41)  Roland): the column ends after them.
        Case c{"listes entre parenthèses, un nom collé", {}, {18, 10, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string code = i % 4 == 0 ? "(0x" + zeros(i * 7 % 90 + 10, 2) + ")"
                                                : "(0x00, 0x" + zeros(i % 3, 2) + ", 0x" +
                                                      zeros(i * 13 % 90 + 10, 2) + ")";
            c.lines.push_back(left(code, 18) + left(p.name, 10) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Keys of letters and digits of one length, padded with blanks before a name (JRD001,
        // JRD002): the digits end a text; a number of its own would be followed by the next
        // column, not by blanks.
        Case c{"clés de lettres et de chiffres d'une seule longueur, puis des blancs",
               {},
               {8, 10, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left("JRD" + zeros(i + 1, 3), 8) + left(p.name, 10) +
                              left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // A line of names over a column of days, the days' name written like a day and cut to
        // its width (2016-07-20T05:16:58Z): the one line whose days are no days is the header.
        Case c{"en-tête dont le nom d'une colonne de jours s'écrit comme un jour",
               {},
               {10, 15, 8},
               true};
        c.lines.push_back(left("module", 10) + left("source", 15) + "2016-07-");
        for (const Person& p : kPeople)
            c.lines.push_back(left(p.name, 10) + left(p.town, 15) + p.born);
        cases.push_back(c);
    }
    {
        // Identifiers of letters then digits of several lengths (CHEMBL207525, CHEMBL1242135)
        // glued after a zero-padded number: the number is a column of its own, the identifier
        // one value from its letters to its blanks.
        Case c{
            "identifiants de lettres et de chiffres collés après un nombre", {}, {10, 14, 10, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(zeros(i * 7919 % 900000 + 1000, 10) +
                              left("CHEMBL" + std::to_string(i * 104729 % 4000000 + 1000), 14) +
                              left(p.name, 10) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Keys of letters and digits of one length, two blanks, then a zero-padded number
        // (ZINC03814464  0008261): the blanks between two zero-padded numbers are neither's, so
        // the digits end a text.
        Case c{"clés d'une seule longueur, des blancs, puis un nombre complété de zéros",
               {},
               {14, 7, 10}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left("ZINC" + zeros(i * 95713 % 4000000 + 20000, 8), 14) +
                              zeros(i * 37 % 9000 + 5000, 7) + left(p.name, 10));
        }
        cases.push_back(c);
    }
    {
        // Years marked by a letter (1984Y, 1985Y), a blank, then signed amounts glued, left out
        // in the first rows: the letter, the same in every row, ends the year's value.
        Case c{"années marquées d'une lettre, un blanc, puis des montants signés", {}, {6, 8, 10}};
        auto amount = [](double value, size_t width) {  // -01.9400, 001.3700
            char digits[32];
            snprintf(digits, sizeof digits, "%.4f", value < 0 ? -value : value);
            return (value < 0 ? "-" : "") + std::string(width - strlen(digits) - (value < 0), '0') +
                   digits;
        };
        for (int i = 0; i < 40; ++i) {
            const std::string amounts = amount((i % 9 - 4) * 1.37, 8) + amount(i * -2.71 + 40, 10);
            c.lines.push_back(std::to_string(1984 + i) + "Y " +
                              (i < 8 ? std::string(18, ' ') : amounts));
        }
        cases.push_back(c);
        // Every value of the first rows left out again, the amounts before the signs ending
        // in zeros (-01.9400-0005.3575): the blanks of those rows tell nothing of where the
        // amounts begin.
        Case d{"montants signés collés, tous laissés vides dans les premières lignes",
               {},
               {6, 8, 10, 7}};
        for (int i = 0; i < 40; ++i) {
            const std::string amounts = amount(-1.9 - i % 7 * 0.01, 8) +
                                        amount(-5.3575 - i * 0.0317, 10) +
                                        amount(6.2575 - i * 0.003, 7);
            d.lines.push_back(std::to_string(1984 + i) + "Y " +
                              (i < 8 ? std::string(25, ' ') : amounts));
        }
        cases.push_back(d);
    }
    {
        // Names of atoms after the residue's (ALA  HA, ASN  HD21, ALA  N): capitals of a few
        // values first, then more capitals or digits or nothing, one value.
        Case c{"noms d'atomes : capitales puis capitales ou chiffres", {}, {5, 7, 7}};
        const char* residues[] = {"ALA", "ASN", "GLY", "SER", "THR"};
        const char* atoms[] = {"HA",   "HB",   "C",  "CA",  "CB",  "N",   "H",  "HB2", "HB3",
                               "HD21", "HD22", "CG", "ND2", "HG1", "HE1", "CZ", "NE"};
        for (int i = 0; i < 68; ++i) {
            c.lines.push_back(left(residues[i / 17 % 5], 5) + left(atoms[i % 17], 7) +
                              zeros(i * 3119 % 1800 + 10, 4) + "." + zeros(i * 7 % 100, 2));
        }
        cases.push_back(c);
    }
    {
        // Call signs of one or two letters, a digit, then letters (F5CWU, IW3HVB, N4GNR): their
        // digit stands at one place or the next as the prefix is long, inside one value.
        Case c{"indicatifs d'appel, le chiffre à une place ou à la suivante", {}, {10, 8, 15}};
        const char* prefixes[] = {"IW", "DK", "EA", "OK", "YL", "SM", "HP", "UA", "F"};
        const char* suffixes[] = {"CWU", "HVB", "GNR", "AMM", "KX", "OXO", "BIL"};
        for (int i = 0; i < 63; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string sign = prefixes[i % 9] + std::to_string(i * 7 % 10) + suffixes[i % 7];
            c.lines.push_back(left(p.name, 10) + left(sign, 8) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Call signs of stations abroad, a slash before the operator's own (3B8/OK1BIL), some
        // of only letters A to F among their digits (3B7A, 3E1FD): the column's other letters
        // tell that they are no hexadecimal numbers.
        Case c{"indicatifs d'appel de l'étranger, certains de lettres A à F", {}, {13, 15, 8}};
        const char* suffixes[] = {"CW", "A", "FD", "RUN", "MB", "XF", "E", "VB", "AO", "ZL"};
        for (int i = 0; i < 60; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            std::string sign = std::to_string(3 + i % 7) + "BDEHKW"[i % 6] +
                               std::to_string(i * 3 % 10) + suffixes[i % 10];
            if (i % 5 == 2) sign += "/OK" + std::to_string(i % 10) + "BIL";
            c.lines.push_back(left(sign, 13) + left(p.town, 15) + p.born);
        }
        cases.push_back(c);
    }
    {
        // Four answers of one letter glued (TFFTF, NAAAA: true, false, not applicable) between a
        // month written as text and the end of the line: each answer a column.
        Case c{"réponses d'une lettre côte à côte", {}, {10, 1, 1, 1, 1, 1}};
        for (int i = 0; i < 24; ++i) {
            std::string answers = "N";
            for (int k = 0; k < 4; ++k) answers += i % 7 == 3 ? 'A' : "TF"[(i * 37 >> k) % 3 == 0];
            c.lines.push_back(
                left(std::to_string(1981 + i * 5 % 40) + "-" + zeros(i % 12 + 1, 2), 10) + answers);
        }
        cases.push_back(c);
    }
    {
        // Relations of a few kinds, the longest filling their column and glued to the word
        // after them (is-property-ofnature beside is-a          oval): the column ends where
        // the shorter ones' blanks do.
        Case c{"texte de peu de valeurs dont les plus longues remplissent la colonne",
               {},
               {10, 14, 15}};
        const char* relations[] = {"is-a", "is-part-of", "is-property-of", "is-opposite-of",
                                   "is-related-to"};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const Person& q = kPeople[static_cast<size_t>(i * 5 + 3) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + left(relations[i * 3 % 5], 14) + left(q.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Amounts in thousands (0012345000) glued to a count padded with three zeros: six zeros
        // in every row, where nothing shows which are the amount's and which the count's. No
        // column is guessed among them.
        Case c{"zéros dans toutes les lignes sur six places entre deux nombres", {}, {10, 17, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + zeros((i * 7919 % 90000 + 1000) * 1000L, 10) +
                              zeros(i * 263 % 9000 + 100, 7) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Days written as numbers padded with a zero (019750312): the zero is the column's.
        Case c{"jours écrits en nombres complétés d'un zéro", {}, {10, 9, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) + "0" + p.born + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // A day in brackets inside a text (Assigned (20040506)): one value, no date column.
        Case c{"jour entre parenthèses dans un texte", {}, {10, 21, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(p.name, 10) +
                              left("Assigned (" + std::string(p.born) + ")", 21) +
                              left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Names whose parts dashes join (CVE-2004-0836) glued after a number: the dash before
        // the last digits is no sign.
        Case c{"noms de parties jointes par des tirets, collés à un nombre", {}, {3, 14, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(
                zeros(i * 7 % 90 + 4, 3) +
                left("CVE-" + std::to_string(2004 + i % 9) + "-" + zeros(i * 397 % 9000 + 100, 4),
                     14) +
                left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Versions after a name (v0.12.3, v1.0.0-20180421): a text, the v no flag of its own.
        Case c{"versions écrites v0.12.3", {}, {10, 18, 15}};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            std::string version = "v" + std::to_string(i % 3) + "." + std::to_string(i * 7 % 13) +
                                  "." + std::to_string(i % 4);
            if (i % 5 == 0) version += "-2018" + zeros(i % 12 + 1, 2) + "21";
            c.lines.push_back(left(p.name, 10) + left(version, 18) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Sequences of five nucleotides (AAAAC, ACGTA) in their order, then a number: the first
        // letter, A or C in these rows, is no flag before a text.
        Case c{"séquences de nucléotides", {}, {6, 7, 15}};
        for (int i = 0; i < 400; i += 10) {
            std::string kmer;
            for (int k = 4; k >= 0; --k) kmer += "ACGT"[(i >> (2 * k)) & 3];
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            c.lines.push_back(left(kmer, 6) + zeros(i * 37 % 9000 + 100, 7) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // Amino acids of one letter and their padding, the angle named chi1 to chi4, a
        // conformation and a town (rotamer tables): the word chi beginning in every row one
        // blank after a letter is a column of its own, and its digit, followed by its padding,
        // is the end of its name, no column.
        Case c{"lettre, angle chi1, conformation", {}, {2, 5, 3, 15}};
        const char* conformations[] = {"g+", "t", "g-"};
        for (int i = 0; i < 48; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string residue(1, "RNDCQEGHILKMFPSTWYV"[i / 3 % 19]);
            c.lines.push_back(left(residue, 2) + left("chi" + std::to_string(i % 4 + 1), 5) +
                              left(conformations[i % 3], 3) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    {
        // A station's code, four letters then three digits, written again one blank after it:
        // the digits followed by blanks end the code, no number of their own.
        Case c{"codes de station lettres puis chiffres", {}, {8, 10, 15}};
        const char* countries[] = {"DEBE", "DEBY", "DENI", "DESH", "DEUB", "DENW"};
        for (int i = 0; i < 40; ++i) {
            const Person& p = kPeople[static_cast<size_t>(i) % std::size(kPeople)];
            const std::string code = countries[i % 6] + zeros(i * 37 % 120 + 1, 3);
            c.lines.push_back(left(code, 8) + left(code, 10) + left(p.town, 15));
        }
        cases.push_back(c);
    }
    return cases;
}

TEST(FixedWidthColumns, TellsShortNamesOverWideNumbersFromARowWithAMissingValue) {
    // Short names over columns of signed decimals glued together: a header, although its
    // letters stand over few of the digits. The same rows under a first row that writes NA for
    // a missing number: data.
    std::vector<std::string> rows;
    for (int i = 1; i <= 30; ++i) {
        char values[64];
        snprintf(values, sizeof values, "%03d%04d%+09.4f%+08.4f%+07.3f", i, i % 2, (i - 15) * 0.731,
                 (i % 7 - 3) * 1.17, (i % 5) * -2.5);
        rows.push_back(values);
    }
    std::vector<std::string> named = rows;
    named.insert(named.begin(), "id x  y1       y2      z      ");
    EXPECT_TRUE(FIXEDWIDTH_FindColumns(views(named)).header);
    std::vector<std::string> missing = rows;
    missing.insert(missing.begin(), "0000001NA       +01.2345+01.250");
    EXPECT_FALSE(FIXEDWIDTH_FindColumns(views(missing)).header);
    EXPECT_FALSE(FIXEDWIDTH_FindColumns(views(rows)).header);
    // The names R gives columns, as many digits as letters: a header.
    std::vector<std::string> numbered = rows;
    numbered.insert(numbered.begin(), "X1 X2  X3       X4      X5     ");
    EXPECT_TRUE(FIXEDWIDTH_FindColumns(views(numbered)).header);
}

TEST(FixedWidthColumns, FoundWhereTheRowsShowThemInTheBoundaryCases) {
    for (const Case& c : boundaryCases()) {
        const FIXEDWIDTH_LAYOUT layout = FIXEDWIDTH_FindColumns(views(c.lines));
        std::vector<int> widths = FIXEDWIDTH_Widths(layout);
        // The last column reaches the longest line: only its start is the rows' evidence.
        if (!widths.empty()) widths.back() = c.widths.back();
        EXPECT_EQ(widths, c.widths) << c.what << "\n" << FIXEDWIDTH_Describe(layout);
        EXPECT_TRUE(FIXEDWIDTH_LooksFixed(layout)) << c.what;
        EXPECT_EQ(layout.header, c.header) << c.what;
        for (size_t k = 1; k < layout.columns.size(); ++k)
            EXPECT_FALSE(layout.columns[k].evidence.empty()) << c.what << " colonne " << k + 1;
    }
}

// A file made from a real published table by bench/fixedwidth_gen.py (a few rows), with the
// widths it was written at (datafile/tests/data/fixedwidth/widths.tsv).
struct PublishedExport {
    std::string name, widths, header, content;
};

std::vector<PublishedExport> publishedExports() {
    const std::string folder = std::string(MORVEX_SOURCE_DIR_PATH) + "/datafile/tests/data/fixedwidth/";
    std::ifstream manifest(folder + "widths.tsv");
    EXPECT_TRUE(manifest) << folder;
    std::vector<PublishedExport> exports;
    std::string entry;
    while (std::getline(manifest, entry)) {
        if (entry.empty() || entry[0] == '#') continue;
        std::istringstream fields(entry);
        PublishedExport e;
        std::getline(fields, e.name, '\t');
        std::getline(fields, e.widths, '\t');
        std::getline(fields, e.header, '\t');
        std::ifstream in(folder + e.name, std::ios::binary);
        EXPECT_TRUE(in) << e.name;
        std::ostringstream text;
        text << in.rdbuf();
        e.content = text.str();
        exports.push_back(std::move(e));
    }
    EXPECT_GE(exports.size(), 4u);
    return exports;
}

TEST(FixedWidthColumns, FoundExactlyInExportsOfPublishedTables) {
    for (const PublishedExport& e : publishedExports()) {
        const std::string& name = e.name;
        const std::string& content = e.content;
        const std::string& header = e.header;
        std::vector<int> expected;
        std::string error;
        ASSERT_TRUE(FIXEDWIDTH_ParseWidths(e.widths, expected, error)) << name << " " << error;
        const FIXEDWIDTH_LAYOUT layout =
            FIXEDWIDTH_FindColumns(FIXEDWIDTH_SampleLines(content, "\n", false));
        std::vector<int> widths = FIXEDWIDTH_Widths(layout);
        if (!widths.empty()) widths.back() = expected.back();
        EXPECT_EQ(widths, expected) << name << "\n" << FIXEDWIDTH_Describe(layout);
        EXPECT_EQ(layout.header, header == "1") << name;
        // The whole shape guess agrees: fixed-width lines, no delimiter taken from the data.
        const DATAFILE_SHAPE shape = DATAFILE_DetectShape(content);
        EXPECT_TRUE(shape.delimiter.empty()) << name << " : " << shape.delimiter;
        EXPECT_EQ(shape.fixedLayout.columns.size(), expected.size()) << name;
    }
}

TEST(FixedWidthColumns, DelimitedFilesAndProseShowNone) {
    EXPECT_TRUE(DATAFILE_DetectFixedWidth("id;nom;ville\n1;Dupont;Paris\n2;Martin;Lyon\n"
                                          "3;Durand;Marseille\n4;Petit;Lille\n", "\n", ";")
                    .empty());
    // Decimals written to six places between semicolons (a distance matrix Debian's simkamin
    // ships): the zeros that end them lead to no digits of theirs across the delimiter.
    EXPECT_EQ(DATAFILE_DetectFixedWidth(";A;B;C;D;E\n"
                                        "A;0.000000;0.780000;0.970000;0.780000;0.440000\n"
                                        "B;0.780000;0.000000;0.760000;0.000000;0.840000\n"
                                        "C;0.970000;0.760000;0.000000;0.760000;0.970000\n"
                                        "D;0.780000;0.000000;0.760000;0.000000;0.840000\n"
                                        "E;0.440000;0.840000;0.970000;0.840000;0.000000\n",
                                        "\n", ";"),
              "");
    const std::vector<std::string> prose = {
        "Le fichier est lu par blocs, jamais en entier, et chaque ligne",
        "est coupée à la fin de ligne indiquée par la description ; une",
        "ligne vide n'est pas une rangée et elle est seulement comptée.",
        "Les valeurs sont converties en UTF-8 quand un encodage est donné,",
        "puis découpées selon les largeurs des colonnes, comptées en",
        "caractères, ou au délimiteur avec les caractères de protection",
        "propres à chaque colonne ; une ligne plus longue que la limite",
        "est une rangée à elle seule, coupée, et signalée comme telle."};
    EXPECT_FALSE(FIXEDWIDTH_LooksFixed(FIXEDWIDTH_FindColumns(views(prose))));
    // Short numbers of a few lengths are a list, not records.
    std::vector<std::string> numbers;
    for (int k = 1; k < 40; ++k)
        numbers.push_back(std::to_string(k % 9 + 1) + (k % 3 ? "." + std::to_string(k % 7 * 2) : "") +
                          "e-00" + std::to_string(k % 9 + 1));
    EXPECT_FALSE(FIXEDWIDTH_LooksFixed(FIXEDWIDTH_FindColumns(views(numbers))))
        << FIXEDWIDTH_Describe(FIXEDWIDTH_FindColumns(views(numbers)));
    // Too few lines, or lines too short, say nothing.
    EXPECT_TRUE(FIXEDWIDTH_FindColumns(views({"00001DUPONT    ", "00002MARTIN    "})).columns.empty());
    EXPECT_TRUE(FIXEDWIDTH_FindColumns(views({"01A", "02B", "03C", "04D"})).columns.empty());
}

TEST(FixedWidthColumns, ForcedWidthsCutTheLinesAndNameTheColumnsFromTheHeader) {
    const std::vector<std::string> lines = {"NUM  NOM       NE LE   ", "00001DUPONT    19750312",
                                            "00002MARTIN    19800101", "00003DURAND    19911231"};
    const FIXEDWIDTH_LAYOUT layout = FIXEDWIDTH_ForceColumns(views(lines), {5, 10, 4});
    EXPECT_EQ(FIXEDWIDTH_Widths(layout), (std::vector<int>{5, 10, 8}));  // the last to the end
    EXPECT_TRUE(layout.header);
    EXPECT_EQ(layout.headerCells, (std::vector<std::string>{"NUM", "NOM", "NE LE"}));
    EXPECT_EQ(layout.columns[1].evidence, "largeur imposée");

    std::vector<int> widths;
    std::string error;
    EXPECT_TRUE(FIXEDWIDTH_ParseWidths("5,10,10,8,15", widths, error));
    EXPECT_EQ(widths, (std::vector<int>{5, 10, 10, 8, 15}));
    for (const char* refused : {"", "5,,8", "5,0", "5,-2", "5, 8", "5,x", "99999999999"}) {
        EXPECT_FALSE(FIXEDWIDTH_ParseWidths(refused, widths, error)) << refused;
        EXPECT_NE(error.find("Largeur invalide"), std::string::npos) << refused;
        EXPECT_TRUE(widths.empty()) << refused;
    }
}

}  // namespace

// What the finder sees at each position, over the same real files: the same layout as
// FIXEDWIDTH_FindColumns, one row per place between two characters, and the rows agree with
// the layout and with themselves (a start the rules keep is one, every share a share).
TEST(FixedWidthColumns, SeenAtEachPositionAgreesWithTheLayout) {
    for (const PublishedExport& e : publishedExports()) {
        const std::string& name = e.name;
        const auto lines = FIXEDWIDTH_SampleLines(e.content, "\n", false);
        FIXEDWIDTH_POSITIONS seen;
        const FIXEDWIDTH_LAYOUT layout = FIXEDWIDTH_FindColumnsSeen(lines, seen);
        EXPECT_EQ(FIXEDWIDTH_Widths(layout), FIXEDWIDTH_Widths(FIXEDWIDTH_FindColumns(lines)))
            << name;
        ASSERT_EQ(seen.values.size(), static_cast<size_t>(layout.lineLength - 1)) << name;
        auto column = [&](const char* what) {
            const auto it = std::find(seen.names.begin(), seen.names.end(), what);
            EXPECT_NE(it, seen.names.end()) << what;
            return static_cast<size_t>(it - seen.names.begin());
        };
        const size_t start = column("rules_start"), begins = column("t_begins"),
                     ends = column("t_ends"), blanks = column("t_blanks"),
                     changes = column("t_changes"), goesOn = column("t_goes_on");
        std::vector<int> starts;
        for (size_t p = 0; p < seen.values.size(); ++p) {
            const std::vector<float>& v = seen.values[p];
            ASSERT_EQ(v.size(), seen.names.size()) << name << " " << p + 1;
            for (size_t k = 0; k < v.size(); ++k)
                EXPECT_TRUE(v[k] >= 0 && v[k] <= 1) << name << " " << p + 1 << " " << seen.names[k];
            // Every row is one transition or another between p-1 and p.
            EXPECT_NEAR(v[begins] + v[ends] + v[blanks] + v[changes] + v[goesOn], 1.0, 1e-4)
                << name << " " << p + 1;
            if (v[start] > 0.5) starts.push_back(static_cast<int>(p) + 1);
        }
        std::vector<int> found;
        for (size_t k = 1; k < layout.columns.size(); ++k) found.push_back(layout.columns[k].start);
        EXPECT_EQ(starts, found) << name;
    }
}
