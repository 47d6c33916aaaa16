#include "export/OverviewPage.h"

#include <filesystem>
#include <map>

#include "cluster/Products.h"
#include "common/NumberText.h"
#include "common/Paths.h"
#include "common/PendingFile.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

std::string html(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A path as a relative URL: each part percent-encoded where it is no plain letter, digit or mark.
std::string url(const fs::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path.generic_string()) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string number(double value) { return html(formatG(value)); }

void row(std::string& out, std::string_view name, double value, std::string_view unit) {
    out += "<tr><th>" + html(name) + "</th><td>" + number(value) + "</td><td>" + html(unit) + "</td></tr>\n";
}

const char* kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin-bottom:1.5em}"
    "th,td{border:1px solid #bbb;padding:0.25em 0.6em;text-align:left}"
    "td{text-align:right}"
    ".pictures{display:flex;flex-wrap:wrap;gap:1em}"
    "figure{margin:0;width:420px}"
    "figure img{width:100%;border:1px solid #ddd}"
    "figcaption{font-size:0.85em}";

}  // namespace

std::string overviewPage(const OverviewFacts& facts, const Products& p, const std::vector<PictureRecord>& pictures) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Results overview</title>\n"
        "<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>Results overview</h1>\n";

    out += "<h2>Key numbers</h2>\n<table>\n";
    const std::vector<double>& elapsed = p.elapsedTimes();
    row(out, "Particles", p.clustersProcessed(), "");
    row(out, "Live time", elapsed.empty() ? 0.0 : elapsed.back(), "s");
    row(out, "Time samples", static_cast<double>(elapsed.size()), "");
    row(out, "Count rate", p.countRate(), "s-1");
    row(out, "Pixel hits", p.pixelHits(), "");
    row(out, "Fluence", p.fluence(), "cm-2");
    row(out, "Flux", p.flux(), "cm-2 s-1");
    row(out, "Dose", p.dose(), p.doseUnit());
    row(out, "Dose rate", p.doseRate(), p.doseRateUnit());
    out += "</table>\n";

    if (!facts.classNames.empty()) {
        out +=
            "<h2>Particle classes</h2>\n<table>\n<tr><th>Class</th><th>Particles</th><th>Count rate [s-1]</th>"
            "<th>Flux [cm-2 s-1]</th><th>Dose [" +
            html(p.doseUnit()) + "]</th><th>Dose rate [" + html(p.doseRateUnit()) + "]</th></tr>\n";
        auto at = [](const std::vector<double>& values, size_t i) { return i < values.size() ? values[i] : 0.0; };
        for (size_t c = 0; c < facts.classNames.size(); ++c) {
            out += "<tr><th>" + html(facts.classNames[c]) + "</th><td>" + number(at(p.countClass(), c)) + "</td><td>" +
                   number(at(p.countRateClass(), c)) + "</td><td>" + number(at(p.fluxClass(), c)) + "</td><td>" +
                   number(at(p.doseClass(), c)) + "</td><td>" + number(at(p.doseRateClass(), c)) + "</td></tr>\n";
        }
        out += "</table>\n";
    }

    // Pictures by the directory they lie in below the output directory, each group in the order it was drawn.
    std::error_code ec;
    const fs::path base =
        fs::absolute(facts.outputDirectory.empty() ? "." : facts.outputDirectory, ec).lexically_normal();
    // Groups of the whole run ("Graph", "Hist") first, then those of the analyses, each by name.
    std::map<std::pair<bool, std::string>, std::vector<std::pair<std::string, std::string>>> groups;
    size_t shown = 0;
    for (const PictureRecord& picture : pictures) {
        if (!isRegularFile(picture.image)) continue;
        const fs::path relative = fs::path(picture.image).lexically_normal().lexically_relative(base);
        std::string group = relative.parent_path().generic_string();
        if (group.empty()) group = ".";
        groups[{group.find('/') != std::string::npos, group}].emplace_back(url(relative), picture.caption);
        ++shown;
    }
    out += "<h2>Pictures</h2>\n";
    if (!facts.masterScript.empty())
        out += "<p>The pictures are not drawn yet: run <code>" + html(facts.masterScript) +
               "</code> in this directory, then reload this page.</p>\n";
    else if (shown == 0)
        out += "<p>No pictures were drawn in this run.</p>\n";
    for (const auto& [key, items] : groups) {
        out += "<h3>" + html(key.second) + "</h3>\n<div class=\"pictures\">\n";
        for (const auto& [source, caption] : items)
            out += "<figure><a href=\"" + source + "\"><img src=\"" + source + "\" alt=\"" + html(caption) +
                   "\" loading=\"lazy\"></a><figcaption>" + html(caption) + "</figcaption></figure>\n";
        out += "</div>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

bool writeOverviewPage(const OverviewFacts& facts, const Products& products,
                       const std::vector<PictureRecord>& pictures) {
    PendingFile file(facts.outputDirectory + "index.html");
    return file.write(overviewPage(facts, products, pictures)) && file.commit();
}

}  // namespace zel
