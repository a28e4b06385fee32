// The column profile as text and as a self-contained HTML report.
#include "profile/profilereport.h"

#include <algorithm>
#include <cmath>

#include "appcore/desceditor.h"
#include "foundation/codequote.h"
#include "foundation/mystrings.h"
#include "foundation/utf8.h"

namespace morvex {

namespace {

// Digits grouped by three, French style ("1 234 567").
std::string grouped(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    const size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out.append(digits, 0, first);
    for (size_t i = first; i < digits.size(); i += 3) {
        out += ' ';
        out.append(digits, i, 3);
    }
    return n < 0 ? "-" + out : out;
}

std::string percentOf(long long part, long long whole) {
    if (whole <= 0) return "0 %";
    std::string s = Format("%.1f %%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

// A text from the file, its invalid UTF-8 bytes replaced by U+FFFD.
std::string wellFormed(std::string_view text) {
    if (utf8IsValid(text)) return std::string(text);
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t len = utf8CharLength(text, at);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
        } else {
            out.append(text, at, len);
            at += len;
        }
    }
    return out;
}

// A text from the file, for the terminal: well-formed, its control characters as blanks.
std::string shown(std::string_view text) { return oneLineText(wellFormed(text)); }

// A text from the file, for HTML.
std::string html(std::string_view text) { return escapeXmlText(wellFormed(text)); }

std::vector<ProfileBin> lengthBins(const ColumnProfile& c) {
    std::vector<ProfileBin> bins;
    for (size_t n = static_cast<size_t>(c.minLength); n < c.lengths.size(); ++n)
        bins.push_back({static_cast<double>(n), static_cast<double>(n + 1), c.lengths[n]});
    return bins;
}

bool charted(const ColumnProfile& c) { return c.kind != ProfileKind::Text && !c.histogram.empty(); }

// A bar chart of `bins` as inline SVG; `kind` tells how to write the bounds.
std::string svgChart(const std::vector<ProfileBin>& bins, ProfileKind kind, bool lengths,
                     const std::string& title) {
    constexpr int kWidth = 640;
    constexpr int kHeight = 200;
    constexpr int kLeft = 56;
    constexpr int kBottom = 36;
    constexpr int kTop = 12;
    const int plotWidth = kWidth - kLeft - 12;
    const int plotHeight = kHeight - kTop - kBottom;
    std::string out = Format(
        "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %d %d\" "
        "width=\"%d\" height=\"%d\" role=\"img\" aria-label=\"%s\">",
        kWidth, kHeight, kWidth, kHeight, html(title).c_str());
    out += Format("<title>%s</title>", html(title).c_str());
    out += Format("<line class=\"axis\" x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>", kLeft,
                  kTop + plotHeight, kLeft + plotWidth, kTop + plotHeight);
    if (bins.empty()) {
        out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">Aucune valeur</text></svg>",
                      kLeft + plotWidth / 2, kTop + plotHeight / 2);
        return out;
    }
    long long most = 1;
    for (const ProfileBin& b : bins) most = std::max(most, b.count);
    const double barWidth = static_cast<double>(plotWidth) / static_cast<double>(bins.size());
    auto bound = [&](double v) {
        return lengths ? Format("%.0f", v) : PROFILE_BoundText(kind, v);
    };
    for (size_t i = 0; i < bins.size(); ++i) {
        const ProfileBin& b = bins[i];
        const double h = static_cast<double>(plotHeight) * static_cast<double>(b.count) /
                         static_cast<double>(most);
        const std::string range =
            lengths && b.high - b.low <= 1
                ? Format("%.0f caractère(s)", b.low)
                : Format("[%s ; %s[", bound(b.low).c_str(), bound(b.high).c_str());
        out += Format(
            "<rect class=\"bar\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\">"
            "<title>%s : %s</title></rect>",
            kLeft + barWidth * static_cast<double>(i) + 1, kTop + plotHeight - h,
            std::max(1.0, barWidth - 2), h, html(range).c_str(), grouped(b.count).c_str());
    }
    // The largest count on the left, the bounds below.
    out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>", kLeft - 6, kTop + 10,
                  grouped(most).c_str());
    out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">0</text>", kLeft - 6,
                  kTop + plotHeight);
    const int y = kTop + plotHeight + 16;
    out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"start\">%s</text>", kLeft, y,
                  html(bound(bins.front().low)).c_str());
    out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>", kLeft + plotWidth, y,
                  html(bound(bins.back().high)).c_str());
    out += Format("<text x=\"%d\" y=\"%d\" text-anchor=\"middle\" class=\"unit\">%s</text>",
                  kLeft + plotWidth / 2, y + 14,
                  lengths ? "longueur (caractères)"
                  : kind == ProfileKind::Date     ? "date"
                  : kind == ProfileKind::DateTime ? "date et heure"
                                                  : "valeur");
    out += "</svg>";
    return out;
}

const char* kStyle = R"(
body{font-family:system-ui,"DejaVu Sans",Arial,sans-serif;margin:1.5em auto;max-width:60em;color:#1d2430;padding:0 1em}
h1{font-size:1.5em;margin-bottom:.2em}
h2{font-size:1.15em;border-bottom:2px solid #3b6ea5;padding-bottom:.2em;margin-top:1.8em}
h2 .type{font-size:.8em;font-weight:normal;color:#555;margin-left:.6em}
h3{font-size:.95em;margin:1em 0 .3em}
table{border-collapse:collapse;font-size:.9em}
td,th{padding:.15em .6em;text-align:left;vertical-align:top}
th{background:#eef2f7}
table.summary td.n,table.facts td.n,table.top td.n{text-align:right;font-variant-numeric:tabular-nums}
table.summary tr:nth-child(even){background:#f7f9fb}
.value{font-family:"DejaVu Sans Mono",monospace;white-space:pre-wrap;overflow-wrap:anywhere}
.barcell{width:12em}
.hbar{display:block;height:.8em;background:#3b6ea5;min-width:1px}
.chart{max-width:100%;height:auto;display:block}
.chart .bar{fill:#3b6ea5}
.chart .axis{stroke:#555;stroke-width:1}
.chart text{font-size:11px;fill:#333}
.chart .unit{fill:#777}
.grid{display:flex;flex-wrap:wrap;gap:1.5em;align-items:flex-start}
.warn{color:#a4262c}
.note{color:#555;font-size:.85em}
@media print{body{margin:0;max-width:none}section{break-inside:avoid}h2{break-after:avoid}}
)";

}  // namespace

std::vector<ProfileBin> PROFILE_Regroup(const std::vector<ProfileBin>& bins, int bars) {
    if (bars <= 0 || static_cast<int>(bins.size()) <= bars) return bins;
    const size_t per = (bins.size() + static_cast<size_t>(bars) - 1) / static_cast<size_t>(bars);
    const double width = bins.front().high - bins.front().low;
    std::vector<ProfileBin> out;
    for (size_t i = 0; i < bins.size(); i += per) {
        ProfileBin b{bins[i].low, bins[i].low + width * static_cast<double>(per), 0};
        for (size_t j = i; j < std::min(bins.size(), i + per); ++j) b.count += bins[j].count;
        out.push_back(b);
    }
    return out;
}

std::string PROFILE_TypeName(const ColumnProfile& column) {
    const char* name = DESCEDIT_TypeName(column.type);
    return name[0] != '\0' ? name : "Inconnu";
}

std::string PROFILE_DistinctText(const ColumnProfile& column) {
    return column.distinctExact ? grouped(column.distinct)
                                : "≈ " + grouped(column.distinct) + " (estimation)";
}

std::string PROFILE_ColumnText(const ColumnProfile& c) {
    std::string out;
    out += Format("  Lignes : %s   Vides : %s   NULL : %s   Valeurs : %s\n",
                  grouped(c.rows).c_str(), grouped(c.empty).c_str(), grouped(c.nulls).c_str(),
                  grouped(c.values).c_str());
    out += "  Valeurs distinctes : " + PROFILE_DistinctText(c) + "\n";
    if (!c.minimum.empty() || !c.maximum.empty())
        out += "  Minimum : " + shown(c.minimum) + "   Maximum : " + shown(c.maximum) + "\n";
    if (c.values > 0) {
        std::string mean = Format("%.1f", c.meanLength);
        std::replace(mean.begin(), mean.end(), '.', ',');
        out += Format("  Longueur : %d à %d caractères, %s en moyenne\n", c.minLength,
                      c.maxLength, mean.c_str());
    }
    out += "  Non conformes au type : " + grouped(c.misfits);
    if (c.misfits > 0) {
        out += " (" + percentOf(c.misfits, c.values) + ") ; exemples :";
        for (const std::string& e : c.misfitExamples) out += " « " + shown(e) + " »";
    }
    out += "\n";
    if (c.top.empty() && c.values > 0) {
        out += "  Valeurs les plus fréquentes : aucune valeur n'est répétée\n";
    } else if (!c.top.empty()) {
        out += c.topExact ? "  Valeurs les plus fréquentes :\n"
                          : "  Valeurs les plus fréquentes (au moins) :\n";
        for (const ProfileValueCount& v : c.top)
            out += Format("    %12s  « %s »\n", grouped(v.count).c_str(), shown(v.value).c_str());
    }
    if (charted(c)) {
        out += "  Histogramme :\n";
        const std::vector<ProfileBin> bars = PROFILE_Regroup(c.histogram, PROFILE_TEXT_BARS);
        long long most = 1;
        for (const ProfileBin& b : bars) most = std::max(most, b.count);
        for (const ProfileBin& b : bars) {
            const int width = static_cast<int>(30 * b.count / most);
            out += Format("    [%s ; %s[ %12s  %s\n", PROFILE_BoundText(c.kind, b.low).c_str(),
                          PROFILE_BoundText(c.kind, b.high).c_str(), grouped(b.count).c_str(),
                          std::string(static_cast<size_t>(width), '#').c_str());
        }
    }
    return out;
}

std::string PROFILE_Text(const FileProfile& profile) {
    std::string out = "Profil de « " + shown(profile.description) + " » : " +
                      shown(profile.dataPath) + "\n";
    out += grouped(profile.rows) + " lignes";
    if (profile.blankLines > 0) out += ", " + grouped(profile.blankLines) + " ligne(s) vide(s)";
    if (profile.badRows > 0) out += ", " + grouped(profile.badRows) + " ligne(s) mal formée(s)";
    out += "\n";
    if (!profile.complete) out += "Profil partiel : " + profile.failure + "\n";
    int n = 0;
    for (const ColumnProfile& c : profile.columns) {
        out += Format("\nColonne %d : %s (%s)\n", ++n, shown(c.name).c_str(),
                      PROFILE_TypeName(c).c_str());
        out += PROFILE_ColumnText(c);
    }
    return out;
}

std::string PROFILE_Html(const FileProfile& profile) {
    std::string out;
    const std::string name = html(profile.description);
    out += "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<title>Profil des colonnes : " + name + "</title>\n<style>" + kStyle +
           "</style>\n</head>\n<body>\n";
    out += "<header>\n<h1>Profil des colonnes : " + name + "</h1>\n";
    out += "<p>Fichier de données : <span class=\"value\">" + html(profile.dataPath) +
           "</span><br>" + grouped(profile.rows) + " lignes";
    if (profile.blankLines > 0) out += ", " + grouped(profile.blankLines) + " ligne(s) vide(s)";
    if (profile.badRows > 0) out += ", " + grouped(profile.badRows) + " ligne(s) mal formée(s)";
    out += Format(", %zu colonnes</p>\n", profile.columns.size());
    if (!profile.complete)
        out += "<p class=\"warn\">Profil partiel : " + html(profile.failure) + "</p>\n";
    out += "</header>\n";

    // The summary: one line per column.
    out += "<table class=\"summary\">\n<thead><tr><th>Colonne</th><th>Type</th><th>Vides</th>"
           "<th>NULL</th><th>Distinctes</th><th>Non conformes</th><th>Minimum</th>"
           "<th>Maximum</th></tr></thead>\n<tbody>\n";
    int n = 0;
    for (const ColumnProfile& c : profile.columns) {
        ++n;
        out += Format("<tr><td><a href=\"#colonne-%d\">", n) + html(c.name) + "</a></td><td>" +
               html(PROFILE_TypeName(c)) + "</td><td class=\"n\">" + grouped(c.empty) +
               "</td><td class=\"n\">" + grouped(c.nulls) + "</td><td class=\"n\">" +
               html(PROFILE_DistinctText(c)) + "</td><td class=\"n" +
               (c.misfits > 0 ? " warn" : "") + "\">" + grouped(c.misfits) +
               "</td><td class=\"value\">" + html(c.minimum) + "</td><td class=\"value\">" +
               html(c.maximum) + "</td></tr>\n";
    }
    out += "</tbody>\n</table>\n";

    n = 0;
    for (const ColumnProfile& c : profile.columns) {
        ++n;
        out += Format("<section class=\"column\" id=\"colonne-%d\">\n<h2>%d. ", n, n) +
               html(c.name) + "<span class=\"type\">" + html(PROFILE_TypeName(c)) +
               "</span></h2>\n<div class=\"grid\">\n<table class=\"facts\">\n";
        auto fact = [&](const char* label, const std::string& value) {
            out += std::string("<tr><th>") + label + "</th><td class=\"n\">" + value +
                   "</td></tr>\n";
        };
        fact("Lignes", grouped(c.rows));
        fact("Vides", grouped(c.empty) + " (" + percentOf(c.empty, c.rows) + ")");
        fact("NULL", grouped(c.nulls) + " (" + percentOf(c.nulls, c.rows) + ")");
        fact("Valeurs", grouped(c.values));
        fact("Distinctes", html(PROFILE_DistinctText(c)));
        if (!c.minimum.empty()) {
            fact("Minimum", "<span class=\"value\">" + html(c.minimum) + "</span>");
            fact("Maximum", "<span class=\"value\">" + html(c.maximum) + "</span>");
        }
        if (c.values > 0) {
            std::string mean = Format("%.1f", c.meanLength);
            std::replace(mean.begin(), mean.end(), '.', ',');
            fact("Longueur", Format("%d à %d (moyenne %s)", c.minLength, c.maxLength, mean.c_str()));
        }
        fact("Non conformes", grouped(c.misfits));
        out += "</table>\n<figure>\n";
        if (charted(c)) {
            out += svgChart(PROFILE_Regroup(c.histogram, PROFILE_CHART_BARS), c.kind, false,
                            "Histogramme de " + c.name);
            out += "\n<figcaption>Histogramme des valeurs</figcaption>\n";
        } else {
            out += svgChart(PROFILE_Regroup(lengthBins(c), PROFILE_CHART_BARS), c.kind, true,
                            "Longueurs de " + c.name);
            out += "\n<figcaption>Répartition des longueurs</figcaption>\n";
        }
        out += "</figure>\n</div>\n";
        if (!c.top.empty()) {
            out += c.topExact ? "<h3>Valeurs les plus fréquentes</h3>\n"
                              : "<h3>Valeurs les plus fréquentes <span class=\"note\">(nombres "
                                "minimaux, fichier trop varié pour un compte exact)</span></h3>\n";
            out += "<table class=\"top\">\n";
            const long long most = std::max(1LL, c.top.front().count);
            for (const ProfileValueCount& v : c.top) {
                out += "<tr><td class=\"value\">" + html(v.value) + "</td><td class=\"n\">" +
                       grouped(v.count) + "</td><td class=\"n\">" + percentOf(v.count, c.values) +
                       Format("</td><td class=\"barcell\"><span class=\"hbar\" "
                              "style=\"width:%.1f%%\"></span></td></tr>\n",
                              100.0 * static_cast<double>(v.count) / static_cast<double>(most));
            }
            out += "</table>\n";
        }
        if (c.misfits > 0) {
            out += "<h3 class=\"warn\">Valeurs non conformes au type : " + grouped(c.misfits) +
                   "</h3>\n<ul>\n";
            for (const std::string& e : c.misfitExamples)
                out += "<li class=\"value\">" + html(e) + "</li>\n";
            out += "</ul>\n";
        }
        out += "</section>\n";
    }
    out += "<footer class=\"note\"><p>Rapport produit par morvexcli profile. Valeurs distinctes "
           "exactes jusqu'à " +
           grouped(PROFILE_EXACT_DISTINCT) +
           ", estimées au-delà ; valeurs vides : blancs seulement ; NULL : le mot NULL.</p>"
           "</footer>\n</body>\n</html>\n";
    return out;
}

}  // namespace morvex
