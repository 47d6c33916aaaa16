#include "export/ResultsDocument.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/NumberText.h"
#include "common/Text.h"

namespace zel {
namespace {

constexpr int kSectionRuleWidth = 72;
constexpr int kSubsectionRuleWidth = 50;
constexpr std::string_view kTableIndent = "     ";
constexpr std::string_view kTableGap = "  ";
constexpr std::string_view kMissingColumnName = "NO_NAME";

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// String values are written between double quotes; quotes, backslashes and control characters are escaped so
// that the JSON file stays valid whatever the value holds.
std::string quoted(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out.push_back('"');
    for (char c : value) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out.append(escape);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string padRight(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string padLeft(std::string_view text, size_t width) {
    std::string out;
    if (text.size() < width) out.assign(width - text.size(), ' ');
    out.append(text);
    return out;
}

std::string_view columnName(std::span<const std::string> columnNames, size_t index) {
    return index < columnNames.size() ? std::string_view(columnNames[index]) : kMissingColumnName;
}

size_t dataColumnCount(std::span<const std::vector<double>> rows) {
    size_t count = 0;
    for (const auto& row : rows) count = std::max(count, row.size());
    return count;
}

}  // namespace

std::string formatResultNumber(double value, int precision) {
    if (precision < 0) precision = 0;
    // Each leading zero after the point adds a digit, so small values keep their significant digits.
    double magnitude = std::fabs(value);
    int leadingZeros = 0;
    while (magnitude < 1 && magnitude != 0 && magnitude > 1e-40) {
        magnitude *= 10;
        ++leadingZeros;
    }
    precision += leadingZeros;

    const bool wholeInt32 = value >= 1 && value <= std::numeric_limits<std::int32_t>::max() &&
                            value == static_cast<double>(static_cast<std::int32_t>(value));
    // Whole numbers, most of a results list (counts), as "%.0f" writes them.
    if (wholeInt32) {
        char digits[16];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, static_cast<std::int32_t>(value)).ptr);
    }
    if (value == 0) return std::signbit(value) ? "-0" : "0";

    if (value < 1e200) return formatFixed(value, precision);
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%.*e", precision, value);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%.*e", precision, value);
    out.pop_back();
    return out;
}

std::string formatJsonNumber(double value, int precision) {
    // JSON has no token for NaN or infinity: a value that is not finite is written as null.
    return std::isfinite(value) ? formatResultNumber(value, precision) : std::string("null");
}

std::string jsonKey(std::string_view name, std::string_view unit) {
    std::string compact;
    for (char c : unit) {
        if (c != ' ') compact.push_back(c);
    }
    if (compact.empty()) return std::string(name);
    if (compact == "-") compact = "cnt";
    else if (compact == "%") compact = "perc";
    std::string key(name);
    key.append("_").append(compact);
    return key;
}

void ResultsDocument::setBaseName(std::string_view base) {
    jsonName_ = std::string(base) + ".json";
    textName_ = std::string(base) + ".txt";
}

void ResultsDocument::json(std::string line) {
    if (jsonEnabled_) jsonBuffer_.write(line);
}

void ResultsDocument::text(std::string line) {
    if (textEnabled_) textBuffer_.write(line);
}

std::string ResultsDocument::paddedLabel(std::string_view name, std::string_view unit) const {
    std::string label(name);
    label.push_back(' ');
    if (!unit.empty()) label.append("[").append(unit).append("]");
    label.push_back(':');
    return padRight(std::move(label), labelWidth_ > 0 ? static_cast<size_t>(labelWidth_) : 0);
}

void ResultsDocument::open() {
    if (jsonEnabled_) jsonBuffer_.open(directory_, jsonName_, immediate_);
    if (textEnabled_) textBuffer_.open(directory_, textName_, immediate_);
    json(arrayMode_ ? "[" : "{");
}

void ResultsDocument::section(std::string_view title) {
    json("");
    const std::string rule(kSectionRuleWidth, '=');
    const std::string upper = upperCase(title);
    const int length = static_cast<int>(upper.size());
    const int lead = std::max(0, (length + kSectionRuleWidth) / 2 - length);
    text("");
    text(rule);
    text(std::string(static_cast<size_t>(lead), ' ') + upper);
    text(rule);
}

void ResultsDocument::subsection(std::string_view title) {
    json("");
    const std::string rule(kSubsectionRuleWidth, '-');
    text("");
    text(rule);
    text(upperCase(title));
    text(rule);
}

void ResultsDocument::blank() {
    json("");
    text("");
}

void ResultsDocument::addInteger(std::string_view name, long long value, std::string_view unit, int precision) {
    addNumber(name, static_cast<double>(value), unit, precision);
}

void ResultsDocument::addNumber(std::string_view name, double value, std::string_view unit, int precision) {
    json(indent_ + quoted(jsonKey(name, unit)) + ":" + formatJsonNumber(value, precision) + ",");
    text(paddedLabel(name, unit) + formatResultNumber(value, precision));
}

void ResultsDocument::jsonNumberList(std::string_view key, std::span<const double> values, int precision,
                                     NumberFormat format) {
    if (!jsonEnabled_) return;
    std::string line = indent_ + quoted(key) + ":[ ";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) line.append(", ");
        line.append(format ? format(values[i], precision, true) : formatJsonNumber(values[i], precision));
    }
    line.append(" ],");
    json(std::move(line));
}

void ResultsDocument::addNumberList(std::string_view name, std::span<const double> values, std::string_view unit,
                                    int precision, NumberFormat format) {
    jsonNumberList(jsonKey(name, unit), values, precision, format);
    if (!textEnabled_) return;
    const bool limited = valueListLimit_ > 0 && values.size() > static_cast<size_t>(valueListLimit_);
    const size_t shown = limited ? static_cast<size_t>(valueListLimit_) : values.size();
    std::string line = paddedLabel(name, unit);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) line.append(", ");
        line.append(format ? format(values[i], precision, false) : formatResultNumber(values[i], precision));
    }
    if (limited) line.append(", ...");
    text(std::move(line));
}

void ResultsDocument::addString(std::string_view name, std::string_view value, std::string_view unit) {
    json(indent_ + quoted(jsonKey(name, unit)) + ":" + quoted(value) + ",");
    text(paddedLabel(name, unit) + std::string(value));
}

void ResultsDocument::addStringList(std::string_view name, std::span<const std::string> values) {
    std::string line = indent_ + quoted(name) + ":[ ";
    for (size_t i = 0; i < values.size(); ++i) {
        line.append(quoted(values[i]));
        if (i + 1 < values.size()) line.append(", ");
    }
    line.append("],");
    json(std::move(line));

    std::string textLine = paddedLabel(name, {});
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) textLine.append(", ");
        textLine.append(values[i]);
    }
    text(std::move(textLine));
}

void ResultsDocument::addTable(std::string_view name, std::span<const std::string> columnNames,
                               std::span<const std::string> rowLabels, std::span<const std::vector<double>> rows,
                               std::string_view unit, int precision) {
    const size_t columns = dataColumnCount(rows);
    std::vector<double> column;
    column.reserve(rows.size());
    for (size_t j = 0; j < columns; ++j) {
        column.clear();
        for (const auto& row : rows) {
            if (j < row.size()) column.push_back(row[j]);
        }
        jsonNumberList(jsonKey(std::string(name) + std::string(columnName(columnNames, j + 1)), unit), column,
                       precision);
    }
    if (textEnabled_) textTable(name, columnNames, rowLabels, rows, unit, precision);
}

// The text table: a title line, then the column names and one line per row, indented; row labels are
// left-aligned under the first column name, numbers right-aligned in columns of one common width.
void ResultsDocument::textTable(std::string_view name, std::span<const std::string> columnNames,
                                std::span<const std::string> rowLabels, std::span<const std::vector<double>> rows,
                                std::string_view unit, int precision) {
    std::string title(name);
    title.push_back(' ');
    if (!unit.empty()) title.append("[").append(unit).append("]");
    title.push_back(':');
    text(std::move(title));

    const size_t columns = std::max(dataColumnCount(rows), columnNames.empty() ? 0 : columnNames.size() - 1);
    std::vector<std::string> cells;
    cells.reserve(rows.size() * columns);
    size_t valueWidth = 0;
    for (size_t j = 0; j < columns; ++j) valueWidth = std::max(valueWidth, columnName(columnNames, j + 1).size());
    for (const auto& row : rows) {
        for (size_t j = 0; j < columns; ++j) {
            cells.push_back(j < row.size() ? formatResultNumber(row[j], precision) : std::string());
            valueWidth = std::max(valueWidth, cells.back().size());
        }
    }
    size_t labelWidth = columnName(columnNames, 0).size();
    for (const std::string& label : rowLabels) labelWidth = std::max(labelWidth, label.size());

    std::string header = std::string(kTableIndent) + padRight(std::string(columnName(columnNames, 0)), labelWidth);
    for (size_t j = 0; j < columns; ++j) header.append(kTableGap).append(padLeft(columnName(columnNames, j + 1), valueWidth));
    text(std::move(header));

    for (size_t i = 0; i < rows.size(); ++i) {
        std::string label = i < rowLabels.size() ? rowLabels[i] : std::string();
        std::string line = std::string(kTableIndent) + padRight(std::move(label), labelWidth);
        for (size_t j = 0; j < columns; ++j) line.append(kTableGap).append(padLeft(cells[i * columns + j], valueWidth));
        text(std::move(line));
    }
}

void ResultsDocument::rawJson(std::string_view line) { json(std::string(line)); }

void ResultsDocument::dropLastComma() {
    if (!jsonBuffer_.isOpen() || jsonBuffer_.isImmediate()) return;
    auto& lines = jsonBuffer_.lines();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->find_first_not_of(" \t") == std::string::npos) continue;
        size_t comma = line->rfind(',');
        if (comma != std::string::npos) (*line)[comma] = ' ';
        return;
    }
}

void ResultsDocument::close() {
    json(arrayMode_ ? "]" : "}");
    text("");
}

int ResultsDocument::flush() {
    if (immediate_) {
        jsonBuffer_.flush();
        textBuffer_.flush();
        return kImmediate;
    }
    if (!jsonBuffer_.isOpen() && !textBuffer_.isOpen()) return kNeverOpened;
    int result = 0;
    if (jsonBuffer_.isOpen()) result = jsonBuffer_.flush();
    if (textBuffer_.isOpen()) {
        int textResult = textBuffer_.flush();
        if (result == 0) result = textResult;
    }
    return result;
}

void ResultsDocument::openWebTable(std::string_view kind, std::string_view title) {
    indent_ = "\t";
    rawJson("{");
    const std::string kinds[] = {std::string(kind)};
    addStringList("SectionType", kinds);
    addString("SectionName", title);
}

void ResultsDocument::beginWebTable(std::string_view kind, std::string_view title) {
    if (!arrayMode_) return;
    const bool textWas = textEnabled_;
    textEnabled_ = false;
    openWebTable(kind, title);
    rawJson("\t\"Data\":{");
    indent_ = "\t\t";
    textEnabled_ = textWas;
}

void ResultsDocument::endWebTable(bool last) {
    if (!arrayMode_) return;
    dropLastComma();
    const bool textWas = textEnabled_;
    textEnabled_ = false;
    rawJson("\t}");
    closeWebTable(last);
    textEnabled_ = textWas;
}

void ResultsDocument::addWebFeature(std::string_view kind, std::string_view title, std::string_view feature,
                                    bool last) {
    if (!arrayMode_) return;
    const bool textWas = textEnabled_;
    textEnabled_ = false;
    openWebTable(kind, title);
    addString("Feature", feature);
    dropLastComma();
    closeWebTable(last);
    textEnabled_ = textWas;
}

void ResultsDocument::closeWebTable(bool last) {
    rawJson(last ? "}" : "},");
    json("");
    indent_.clear();
}

void openAnalysisList(ResultsDocument& doc, bool web, const std::string& directory, const std::string& textName,
                      const std::string& jsonName) {
    doc.setImmediate(false);
    doc.setArrayMode(web);
    doc.setDirectory(directory);
    doc.setTextFileName(textName);
    doc.setJsonFileName(jsonName);
    doc.setValueListLimit(8);
    doc.setLabelWidth(40);
    doc.open();
}

int finishAnalysisList(ResultsDocument& doc, const MessageTarget& to) {
    if (!doc.arrayMode()) doc.dropLastComma();
    doc.close();
    const int result = doc.flush();
    if (result != 0) {
        printError(to, "Can not write results list: " + doc.textPath() + " and " + doc.jsonPath());
        return result;
    }
    printMsg(to, "Results list:\t\t\t\t" + doc.textPath());
    return 0;
}

}  // namespace zel
