// Texts made safe to embed in generated code (codequote.h).
#include "foundation/codequote.h"

#include <cstdio>
#include <cstring>

#include "foundation/utf8.h"

namespace morvex {

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// `text` between `open` and `close`, each `close` inside doubled.
std::string doubled(std::string_view text, char open, char close) {
    std::string out;
    out.reserve(text.size() + 2);
    out += open;
    for (const char c : text) {
        if (c == close) out += close;
        out += c;
    }
    out += close;
    return out;
}

std::string hex(const char* format, unsigned value) {
    char buf[16];
    snprintf(buf, sizeof buf, format, value);
    return buf;
}

// Characters past which SQL Server cuts a concatenation of short nvarchar strings.
constexpr size_t kMssqlConcatLimit = 4000;

}  // namespace

std::string quoteSqlIdentifier(std::string_view text) {
    return doubled(text, '"', '"');
}

std::string quoteSqlString(std::string_view text) {
    return doubled(text, '\'', '\'');
}

std::string quoteMssqlIdentifier(std::string_view text) {
    // No escape can keep a line end inside an identifier from starting a line of the script.
    return doubled(oneLineText(text, '_'), '[', ']');
}

std::string quoteMssqlString(std::string_view text) {
    std::string out;
    bool inLiteral = false;
    int parts = 0;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (isControl(u)) {
            if (inLiteral) out += '\'';
            inLiteral = false;
            if (parts++ > 0) out += '+';
            out += "NCHAR(" + std::to_string(u) + ")";
            continue;
        }
        if (!inLiteral) {
            if (parts++ > 0) out += '+';
            out += "N'";
            inLiteral = true;
        }
        if (c == '\'') out += '\'';
        out += c;
    }
    if (inLiteral) out += '\'';
    if (parts == 0) return "N''";
    // A concatenation of short parts would be cut past 4000 characters.
    if (parts > 1 && text.size() > kMssqlConcatLimit) out.insert(0, "CAST(N'' AS nvarchar(max))+");
    return out;
}

std::string quotePythonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = utf8CharLength(text, i);
            if (n == 0) {
                out += hex("\\udc%02x", c);
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (isControl(c))
                    out += hex("\\x%02x", c);
                else
                    out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string quoteShellWord(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

namespace {

// The character reference of one of & < > " ', or nullptr.
const char* xmlReference(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&apos;";
        default:
            return nullptr;
    }
}

}  // namespace

std::string escapeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (const char* ref = xmlReference(c))
            out += ref;
        else if (isControl(u) && c != '\t' && c != '\r' && c != '\n')
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
    return out;
}

std::string escapeMarkdownText(std::string_view text) {
    // Punctuation that Markdown reads anywhere in a line; "#", "+", "-" and "=" only open a
    // heading, a list or a rule at its start.
    static const char kPunctuation[] = "\\`*_{}[]|~";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (const char* ref = xmlReference(c)) {
            out += ref;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "<br>";
        } else if (isControl(u)) {
            out += ' ';
        } else {
            const bool opening = out.empty() && strchr("#+-=", c) != nullptr;
            if (c != '\0' && (strchr(kPunctuation, c) != nullptr || opening)) out += '\\';
            out += c;
        }
    }
    return out;
}

std::string oneLineText(std::string_view text, char replacement) {
    std::string out(text);
    for (char& c : out)
        if (isControl(static_cast<unsigned char>(c))) c = replacement;
    return out;
}

}  // namespace morvex
