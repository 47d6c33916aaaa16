#include "export/RadFieldRecogList.h"

#include <cstdio>
#include <string>
#include <vector>

#include "export/ResultsDocument.h"
#include "rfr/FieldRecognition.h"

namespace zel {
namespace {

// Vectors keep six significant digits; reference vectors are shown with four.
constexpr int kVectorPrecision = 6;
constexpr int kReferencePrecision = 4;

std::string percentText(double fraction) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", 2, fraction * 100.0);
    return text;
}

// Interval ends from 1e200 outwards stand for an open end and are written as the fixed words "1e+200" (upper) and
// "1e-200" (lower), whatever the precision.
std::string intervalBoundText(double bound, int precision, bool json) {
    if (bound >= 1e200) return "1e+200";
    if (bound <= -1e200) return "1e-200";
    return json ? formatJsonNumber(bound, precision) : formatResultNumber(bound, precision);
}

}  // namespace

int writeRadFieldRecogList(const FieldRecognition& recognition, const MessageTarget& to) {
    const FieldRecognition::Options& options = recognition.options();
    const ComparatorDB& comparator = recognition.comparator();
    ResultsDocument doc;
    openAnalysisList(doc, options.doWeb, options.directory, options.listName, options.listJsonName);
    doc.section("Radiation field recognition");

    doc.beginWebTable(web::kScalarTable, "Significant vector");
    doc.addNumberList("SigVecContent", comparator.GetComparedVector(), "", kVectorPrecision);
    doc.endWebTable(false);

    doc.beginWebTable(web::kScalarTable, "Settings and results");
    doc.addString("Method", "Distance comparator");
    doc.addString("Distance", "Euclidean");
    doc.addString("StateResult", recognition.field());
    doc.addString("ProbResult", percentText(recognition.probability()), "%");
    doc.endWebTable(false);

    doc.beginWebTable(web::kTable, "Used database of referential significant vectors");
    doc.addNumberList("VariableIntervals", recognition.intervals(), "", kVectorPrecision, &intervalBoundText);
    for (const ComparatorDB::Entry& entry : comparator.GetDatabase())
        doc.addNumberList(entry.field, entry.reference->GetVector(), "", kReferencePrecision);
    doc.endWebTable(true);

    return finishAnalysisList(doc, to);
}

}  // namespace zel
