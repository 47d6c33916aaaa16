#include "export/ComptonList.h"

#include <string>
#include <vector>

#include "analysis/ComptonCamera.h"
#include "export/ResultsDocument.h"

namespace zel {
namespace {

using Counters = ComptonCamera::Counters;

struct CounterKey {
    const char* name;
    double Counters::*value;
};
constexpr CounterKey kCounters[] = {
    {"CountCoincGroups", &Counters::coincGroups},
    {"CountPossCompEvents", &Counters::possibleEvents},
    {"CountAmbigCompGroup", &Counters::ambiguousGroups},
    {"CountUniqCompGroup", &Counters::uniqueGroups},
    {"CountCompGroup", &Counters::comptonGroups},
    {"CountDirForwCompGroup", &Counters::forward},
    {"CountDirBackCompGroup", &Counters::backward},
    {"CountDirUniqueCompGroup", &Counters::orderUnique},
    {"CountDirAmbigCompGroup", &Counters::orderAmbiguous},
    {"CountSingleDetCompGroup", &Counters::singleDetector},
    {"CountMultiDetCompGroup", &Counters::multiDetector},
    {"CountPassInProcCompGroup", &Counters::passed},
    {"CountFailInProcCompGroup", &Counters::failed},
    {"CountInProjCompGroup", &Counters::inProjection},
    {"CountOutProjCompGroup", &Counters::outProjection},
};

void writeStatistics(ResultsDocument& doc, const ComptonCamera& camera) {
    doc.beginWebTable(web::kStatistics, "Statistical information for physical products");
    const std::vector<std::string> stat{"Mean", "Std", "Min", "Max"};
    doc.addStringList("Stat", stat);
    const ComptonCamera::Statistic& s = camera.halfAngleStatistic();
    const std::vector<double> values{s.mean, s.std, s.minimum, s.maximum};
    doc.addNumberList("ConeHalfAngle_MeanStdMinMax", values, "rad+1", 4);
    const std::vector<std::string> columns{"Stat", "ConeHalfAngle"};
    std::vector<std::vector<double>> rows;
    for (double v : values) rows.push_back({v});
    doc.addTable("PhysicalProducts_MeStMiMa", columns, stat, rows, "", 4);
    doc.endWebTable(false);
}

}  // namespace

int writeComptonList(const ComptonCamera& camera, const MessageTarget& to) {
    const ComptonCamera::Output& output = camera.output();
    ResultsDocument doc;
    openAnalysisList(doc, output.doWeb, output.directory, output.listName, output.listJsonName);
    doc.section("Compton camera analysis");

    doc.beginWebTable(web::kScalarTable, "General information");
    for (const CounterKey& c : kCounters) doc.addInteger(c.name, static_cast<long long>(camera.counters().*c.value), "-");
    doc.endWebTable(false);

    doc.addWebFeature(web::kHistogram1D, "Histogram of half angle of Compton cones", "ConeHalfAngle", false);
    writeStatistics(doc, camera);

    doc.beginWebTable(web::kTimePlot, "Event and coincidences particle counts");
    doc.addNumberList("TimeLive_Int_Sample", camera.sampleLiveTimes(), "s+1", 4);
    doc.addNumberList("ConeHalfAngle_Mean_Sample", camera.sampleMeanHalfAngles(), "rad", 4);
    doc.addNumberList("CountCompGroup_Sum_Sample", camera.sampleConeCounts(), "cnt", 4);
    doc.endWebTable(true);

    return finishAnalysisList(doc, to);
}

}  // namespace zel
