// morvexcli profile: the profile of every column of a data file, as text, JSON or an HTML report.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "appcore/filetargets.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "foundation/replacefile.h"
#include "profile/profile.h"
#include "profile/profilereport.h"

namespace morvex {

namespace {

const char* kindName(ProfileKind kind) {
    switch (kind) {
        case ProfileKind::Integer: return "integer";
        case ProfileKind::Decimal: return "decimal";
        case ProfileKind::Date: return "date";
        case ProfileKind::DateTime: return "datetime";
        case ProfileKind::Text: break;
    }
    return "text";
}

nlohmann::json columnJson(const ColumnProfile& c) {
    nlohmann::json top = nlohmann::json::array();
    for (const ProfileValueCount& v : c.top) top.push_back({{"value", v.value}, {"count", v.count}});
    nlohmann::json lengths = nlohmann::json::array();
    for (size_t n = 0; n < c.lengths.size(); ++n)
        if (c.lengths[n] > 0) lengths.push_back({n, c.lengths[n]});
    nlohmann::json histogram = nlohmann::json::array();
    for (const ProfileBin& b : c.histogram)
        histogram.push_back({{"low", b.low}, {"high", b.high}, {"count", b.count}});
    nlohmann::json j{{"name", c.name},
                     {"type", PROFILE_TypeName(c)},
                     {"kind", kindName(c.kind)},
                     {"rows", c.rows},
                     {"empty", c.empty},
                     {"nulls", c.nulls},
                     {"values", c.values},
                     {"distinct", c.distinct},
                     {"distinctExact", c.distinctExact},
                     {"minimum", c.minimum},
                     {"maximum", c.maximum},
                     {"top", top},
                     {"topExact", c.topExact},
                     {"lengths", lengths},
                     {"minLength", c.minLength},
                     {"maxLength", c.maxLength},
                     {"meanLength", c.meanLength},
                     {"histogram", histogram},
                     {"misfits", c.misfits},
                     {"misfitExamples", c.misfitExamples}};
    if (c.kind != ProfileKind::Text && !c.minimum.empty()) {
        j["minimumNumber"] = c.minimumNumber;
        j["maximumNumber"] = c.maximumNumber;
    }
    return j;
}

std::string profileJson(const FileProfile& p) {
    nlohmann::json columns = nlohmann::json::array();
    for (const ColumnProfile& c : p.columns) columns.push_back(columnJson(c));
    nlohmann::json j{{"description", p.description}, {"data", p.dataPath},
                     {"rows", p.rows},               {"blankLines", p.blankLines},
                     {"badRows", p.badRows},         {"complete", p.complete},
                     {"columns", columns}};
    if (!p.complete) j["failure"] = p.failure;
    return j.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool writeReport(const std::string& path, const std::string& text) {
    std::string error;
    const bool written = writeFileReplacing(
        path,
        [&](const std::string& temporary) {
            FILE* f = fopen(temporary.c_str(), "wb");
            if (f == nullptr) return false;
            const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
            const int saved = errno;
            const bool closed = fclose(f) == 0;
            if (!ok) errno = saved;
            return ok && closed;
        },
        &error);
    if (!written) cliError(error);
    return written;
}

}  // namespace

int commandProfile(const ProfileOptions& options) {
    DescPtr desc = openDescription(options.desc);
    if (!desc) return CLI_FAILURE;
    const std::string data = dataFileOf(*desc, options.data);
    if (!checkDataFile(data)) return CLI_FAILURE;
    if (!options.html.empty()) {
        // The report never takes the place of what it reports on.
        std::string refusal = EXPORT_Refusal(options.html, EXPORT_GUARDS{desc.get(), ""});
        std::error_code ignored;
        if (refusal.empty() && std::filesystem::equivalent(options.html, data, ignored))
            refusal = "Le rapport ne peut pas remplacer le fichier de données '" + data + "'.";
        if (!refusal.empty()) {
            cliError(refusal);
            return CLI_FAILURE;
        }
    }
    FileProfile profile;
    if (!PROFILE_Run(desc.get(), data.c_str(), &profile)) {
        cliError(profile.failure);
        return CLI_FAILURE;
    }
    if (!options.html.empty() && !writeReport(options.html, PROFILE_Html(profile)))
        return CLI_FAILURE;
    if (options.json) return writeOut(profileJson(profile)) ? CLI_OK : CLI_FAILURE;
    if (!options.html.empty()) return CLI_OK;
    return writeOut(PROFILE_Text(profile)) ? CLI_OK : CLI_FAILURE;
}

void addProfileCommand(CLI::App& app, CliCommands& commands) {
    auto o = std::make_shared<ProfileOptions>();
    CLI::App* sub = app.add_subcommand(
        "profile", "Profil de chaque colonne : vides, distinctes, extrêmes, valeurs fréquentes, "
                   "longueurs, histogramme");
    sub->add_option("description", o->desc, "Fichier de description .fyk")->required();
    sub->add_option("--data", o->data, "Fichier de données (par défaut : le fichier exemple)");
    sub->add_option("--html", o->html, "Écrit le rapport HTML autonome dans ce fichier");
    sub->add_flag("--json", o->json, "Écrit le profil en JSON sur la sortie standard");
    commands.push_back({sub, [o] { return commandProfile(*o); }});
}

}  // namespace morvex
