#pragma once
// Writer of one results list to a text file and a JSON file at once: every value becomes a text line with a
// padded label and a JSON key/value line. Nothing reaches the disk before flush (in the buffered mode that every
// results list uses), and flush replaces each file whole or not at all.
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Messages.h"
#include "export/LineBuffer.h"

namespace zel {

// The one number format of the results files: small values keep `precision` significant digits after their
// leading zeros, whole positive values and 0 lose their decimals, values from 1e200 up (and NaN) use exponent form.
std::string formatResultNumber(double value, int precision);
// The same for a JSON file, where a value that is not finite becomes null.
std::string formatJsonNumber(double value, int precision);

// JSON key of a value: the name, then "_" and the unit without blanks ("-" becomes "cnt", "%" becomes "perc");
// the name alone when the unit is empty.
std::string jsonKey(std::string_view name, std::string_view unit);

// Kinds of the tables of the web layout.
namespace web {
inline constexpr std::string_view kScalarTable = "1DTable";
inline constexpr std::string_view kTable = "2DTable";
inline constexpr std::string_view kHistogram1D = "1DHistogram";
inline constexpr std::string_view kHistogram2D = "2DHistogram";
inline constexpr std::string_view kTimePlot = "TabTimePlot";
inline constexpr std::string_view kStatistics = "MeanStdMinMax";
}  // namespace web

class ResultsDocument {
public:
    // Flush results.
    static constexpr int kImmediate = LineBuffer::kImmediate;
    static constexpr int kNeverOpened = LineBuffer::kNeverOpened;
    static constexpr int kCannotOpen = LineBuffer::kCannotOpen;

    // `directory` ends with its separator; file names are joined to it by plain concatenation.
    void setDirectory(std::string directory) { directory_ = std::move(directory); }
    void setJsonFileName(std::string name) { jsonName_ = std::move(name); }
    void setTextFileName(std::string name) { textName_ = std::move(name); }
    // Sets both file names: base + ".json" and base + ".txt".
    void setBaseName(std::string_view base);

    // Immediate mode is on by default and writes each line straight to its file; results lists switch it off.
    void setImmediate(bool immediate) { immediate_ = immediate; }
    // Array mode makes the JSON file an array of table objects (web layout).
    void setArrayMode(bool arrayMode) { arrayMode_ = arrayMode; }
    bool arrayMode() const { return arrayMode_; }
    // How many values of a list the text file shows; not positive shows all.
    void setValueListLimit(int limit) { valueListLimit_ = limit; }
    // Width to which text labels are padded.
    void setLabelWidth(int width) { labelWidth_ = width; }
    int valueListLimit() const { return valueListLimit_; }
    int labelWidth() const { return labelWidth_; }
    // A sink that is off when the document opens is never written; switched off later, it skips lines.
    void setJsonEnabled(bool enabled) { jsonEnabled_ = enabled; }
    void setTextEnabled(bool enabled) { textEnabled_ = enabled; }
    bool jsonEnabled() const { return jsonEnabled_; }
    bool textEnabled() const { return textEnabled_; }
    void setJsonIndent(std::string indent) { indent_ = std::move(indent); }

    std::string jsonPath() const { return directory_ + jsonName_; }
    std::string textPath() const { return directory_ + textName_; }

    // Creates both line buffers and writes the opening of the JSON document.
    void open();
    void section(std::string_view title);
    void subsection(std::string_view title);
    void blank();

    // Integers go through the same number format as every other value.
    void addInteger(std::string_view name, long long value, std::string_view unit, int precision = 0);
    void addNumber(std::string_view name, double value, std::string_view unit, int precision);
    // `format` writes each number (in both files); by default the results format, with null for JSON non-finite values.
    using NumberFormat = std::string (*)(double value, int precision, bool json);
    void addNumberList(std::string_view name, std::span<const double> values, std::string_view unit, int precision,
                       NumberFormat format = nullptr);
    void addString(std::string_view name, std::string_view value, std::string_view unit = {});
    void addStringList(std::string_view name, std::span<const std::string> values);
    // columnNames[0] heads the row labels; columnNames[j + 1] names data column j of every row ("NO_NAME" when
    // missing). JSON gets one number list per data column, keyed by table name + column name + unit.
    void addTable(std::string_view name, std::span<const std::string> columnNames,
                  std::span<const std::string> rowLabels, std::span<const std::vector<double>> rows,
                  std::string_view unit, int precision);

    // A JSON line written exactly as given.
    void rawJson(std::string_view line);
    // Replaces the last "," of the latest non-empty JSON line by a blank, so the object or block ends validly.
    void dropLastComma();
    // Writes the closing of the JSON document and an empty text line.
    void close();
    // Writes both files: 0, kImmediate, kNeverOpened (neither was opened) or kCannotOpen.
    int flush();

    // Web layout (array mode only; without it these write nothing and the values land in the one JSON object):
    // a table object whose "Data" block receives the values written between begin and end.
    void beginWebTable(std::string_view kind, std::string_view title);
    void endWebTable(bool last);
    // A table object that only names a histogram whose data lives in its own histogram file.
    void addWebFeature(std::string_view kind, std::string_view title, std::string_view feature, bool last);

    // Text label of a value: "name [unit]:" ("name :" without unit), padded to the label width.
    std::string paddedLabel(std::string_view name, std::string_view unit) const;

private:
    void json(std::string line);
    void text(std::string line);
    void jsonNumberList(std::string_view key, std::span<const double> values, int precision,
                        NumberFormat format = nullptr);
    void textTable(std::string_view name, std::span<const std::string> columnNames,
                   std::span<const std::string> rowLabels, std::span<const std::vector<double>> rows,
                   std::string_view unit, int precision);
    // The opening of a web-layout table object: its kind and title.
    void openWebTable(std::string_view kind, std::string_view title);
    void closeWebTable(bool last);

    std::string directory_;
    std::string jsonName_ = "File.json";
    std::string textName_ = "File.txt";
    std::string indent_;
    LineBuffer jsonBuffer_;
    LineBuffer textBuffer_;
    int valueListLimit_ = -1;
    int labelWidth_ = 30;
    bool immediate_ = true;
    bool arrayMode_ = false;
    bool jsonEnabled_ = true;
    bool textEnabled_ = true;
};

// The results list of an analysis: buffered, in the array layout with `web`, eight values of a list in the text
// file and labels 40 wide; opened.
void openAnalysisList(ResultsDocument& doc, bool web, const std::string& directory, const std::string& textName,
                      const std::string& jsonName);
// Ends the list, writes both files and says where: 0, or the failure of the write after an error message.
int finishAnalysisList(ResultsDocument& doc, const MessageTarget& to);

}  // namespace zel
