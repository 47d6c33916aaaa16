#include "export/CoincEventList.h"

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/CoincidenceAnalysis.h"
#include "export/ResultsDocument.h"

namespace zel {
namespace {

double percentOf(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

void writeGeneral(ResultsDocument& doc, const CoincidenceAnalysis& a) {
    doc.beginWebTable(web::kScalarTable, "General information");
    doc.addNumber("TimeCoincWindow", a.options().timeCoincWindow, "ns+1", 4);
    doc.addNumber("CountEvent_Sum", a.countEvents(), "-", 4);
    doc.addNumber("CountCoincGroup_Sum", a.countCoincGroups(), "-", 4);
    doc.addNumber("CountCoincGroup_Sum", percentOf(a.countCoincGroups(), a.countEvents()), "%", 4);
    doc.addNumber("CountParticle_Mean_Event", a.meanParticlesPerEvent(), "-", 4);
    doc.addNumber("CountParticle_Sum_NoCoinc", a.countParticlesNoCoinc(), "-", 4);
    doc.addNumber("CountParticle_Sum_NoCoinc", percentOf(a.countParticlesNoCoinc(), a.countParticles()), "%", 4);
    doc.addNumber("CountParticle_Sum_CoincGroup", a.countParticlesInGroups(), "-", 4);
    doc.addNumber("CountParticle_Sum_CoincGroup", percentOf(a.countParticlesInGroups(), a.countParticles()), "%", 4);
    doc.addNumber("CountParticle_Mean_CoincGroup", a.meanParticlesPerGroup(), "-", 4);
    doc.addNumber("CountParticle_Max_CoincGroup", a.maxGroupSize(), "-", 4);
    doc.endWebTable(false);
}

void writeTimeSamples(ResultsDocument& doc, const CoincidenceAnalysis& a) {
    doc.beginWebTable(web::kTimePlot, "Event and coincidences particle counts");
    const std::vector<double>& live = a.sampleLiveTimes();
    const std::vector<double>& groups = a.sampleCoincGroups();
    const std::vector<double> closedGroups(groups.begin(),
                                           groups.begin() + static_cast<std::ptrdiff_t>(std::min(live.size(), groups.size())));
    doc.addNumberList("TimeLive_Int_Sample", live, "s+1", 4);
    doc.addNumberList("CountParticle_Mean_Sample_Event", a.sampleMeanParticlesPerEvent(), "cnt", 4);
    doc.addNumberList("CountCoincGroup_Sample", closedGroups, "cnt", 4);
    doc.endWebTable(true);
}

}  // namespace

int writeCoincEventList(const CoincidenceAnalysis& analysis, const MessageTarget& to) {
    const CoincidenceAnalysis::Options& options = analysis.options();
    ResultsDocument doc;
    openAnalysisList(doc, options.doWeb, options.directory, options.listName, options.listJsonName);
    doc.section("Event and Coincidence analysis");
    writeGeneral(doc, analysis);
    doc.addWebFeature(web::kHistogram1D, "Histogram of time difference in coincidence events", "TimeDiff_Coinc", false);
    writeTimeSamples(doc, analysis);
    return finishAnalysisList(doc, to);
}

}  // namespace zel
