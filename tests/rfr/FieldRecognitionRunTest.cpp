// Field recognition through whole file runs: the built-in vector and database, the results list in both layouts,
// a user database, what radFieldRecognition answers, and configurations that cannot work.
#include <filesystem>
#include <sstream>

#include "engine/EngineRunSupport.h"

namespace {

const std::string kTimepix3CdTe = "ChipType = \"TPX3\"\nSensMat = \"CdTe\"\nSensThick = 2000\n";

// An event list of clusters with the given size, border pixel count and linearity, 0.1 s apart.
std::string eventList(const std::vector<std::array<double, 3>>& clusters) {
    std::ostringstream out;
    out << "EventID\tX\tY\tE\tT\tSize\tBorderPixCount\tLinearity\n-\tpx\tpx\tkeV\tns\tpx\t-\t-\n";
    for (size_t i = 0; i < clusters.size(); ++i)
        out << i << "\t10\t10\t50\t" << (i + 1) * 100000000 << "\t" << clusters[i][0] << "\t" << clusters[i][1]
            << "\t" << clusters[i][2] << "\n";
    return out.str();
}

// Twenty single-pixel clusters with border pixel counts 0 and 1.
std::string singles() {
    std::vector<std::array<double, 3>> clusters;
    for (int i = 0; i < 20; ++i) clusters.push_back({1, double(i % 2), 0});
    return eventList(clusters);
}

struct FieldRecognitionRun : enginetest::EngineRun {
    std::string paramFile(const std::string& extra) const {
        return params("run.elist", "DoPID = false\nDoFilter = false\n" + extra);
    }
    nlohmann::json list() const { return nlohmann::json::parse(read("out/RadFieldRecog/RadFieldRecogList.json")); }
};

TEST_F(FieldRecognitionRun, TimepixThreeCdTeRunIsComparedWithTheBuiltInFields) {
    dir.write("run.elist", singles());
    process(paramFile(kTimepix3CdTe));
    EXPECT_EQ(read("out/SigVec/SigVec.vec"), "1\n0\n0\n1\n0\n0\n0\n1\n0\n0\n");

    const nlohmann::json json = list();
    EXPECT_EQ(json["SigVecContent"], (std::vector<double>{1, 0, 0, 1, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(json["Method"], "Distance comparator");
    EXPECT_EQ(json["Distance"], "Euclidean");
    EXPECT_EQ(json["VariableIntervals"].size(), 20u);
    // The built-in intervals' open upper ends are written as the fixed word, in both files.
    EXPECT_EQ(json["VariableIntervals"][5], 1e200);
    EXPECT_NE(read("out/RadFieldRecog/RadFieldRecogList.txt").find("-1.000000, 5, 5, 20, 20, 1e+200, -1.000000, 2,"), std::string::npos)
        << read("out/RadFieldRecog/RadFieldRecogList.txt");
    for (const char* field : {"Ba133", "Cs137", "Eu152", "Co60", "Am241", "Na22"})
        EXPECT_EQ(json[field].size(), 10u) << field;
    // The nearest field by hand: Ba133 (squared distance 0.787) ahead of Eu152 (0.806).
    EXPECT_EQ(json["StateResult"], "Ba133");

    std::string name;
    double score = 0;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "Ba133");
    EXPECT_NEAR(score, std::stod(json["ProbResult_perc"].get<std::string>()), 0.005);
    EXPECT_GT(score, 100.0 / 6);
    EXPECT_LT(score, 100);
    EXPECT_NE(log().find("SIGNIFICANT VECTOR PROCESSING"), std::string::npos);
    EXPECT_NE(log().find("RADIATION FIELD RECOGNITION"), std::string::npos);

    // A reset starts over without counted particles: the answers stay as the caller had them.
    ASSERT_EQ(zel::reset(), 0);
    name = "kept";
    score = 3;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 3);
}

TEST_F(FieldRecognitionRun, PushedBatchesAreRecognisedFromTheHistogramsSoFar) {
    load("FileOutPath = \"" + dir.dir() + "out/\"\nDoPrint = false\nDoLog = false\nDoPID = false\nDoFilter = false\n"
         "DoExportGraphics = false\n" +
         kTimepix3CdTe);
    zel::setClusterVarOrder({"EventID", "X", "Y", "E", "T", "Size", "BorderPixCount", "Linearity"});
    ASSERT_EQ(zel::init(), 0);
    std::vector<std::vector<double>> dots;
    for (int i = 0; i < 10; ++i) dots.push_back({double(i), 10, 10, 20, 1e8 * (i + 1), 1, 0, 0});
    ASSERT_EQ(zel::processClusters(dots), 0);
    std::string name;
    double score = 0;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "Ba133");
    const double dotsScore = score;

    // Large straight tracks move the vector towards the fields of long tracks.
    std::vector<std::vector<double>> tracks;
    for (int i = 0; i < 10; ++i) tracks.push_back({double(i + 10), 10, 10, 900, 2e9 + 1e8 * i, 30, 20, 0.99});
    ASSERT_EQ(zel::processClusters(tracks), 0);
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_NE(name, "Ba133");
    EXPECT_NE(score, dotsScore);
}

TEST_F(FieldRecognitionRun, WebLayoutWritesTheListAsTables) {
    dir.write("run.elist", singles());
    process(paramFile(kTimepix3CdTe + "DoWeb = true\n"));
    const nlohmann::json json = list();
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["SectionName"], "Significant vector");
    EXPECT_EQ(json[1]["SectionType"][0], "1DTable");
    EXPECT_EQ(json[1]["Data"]["StateResult"], "Ba133");
    EXPECT_EQ(json[2]["SectionType"][0], "2DTable");
    EXPECT_EQ(json[2]["Data"]["Na22"].size(), 10u);
}

TEST_F(FieldRecognitionRun, OtherDetectorsMakeTheVectorButRecogniseNothing) {
    dir.write("run.elist", singles());
    process(paramFile(""));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/SigVec/SigVec.vec_info")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/RadFieldRecog/RadFieldRecogList.json")));
    std::string name = "kept";
    double score = 3;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 3);
}

TEST_F(FieldRecognitionRun, UserDatabaseNamesAnExactMatchWithCertainty) {
    // The vector of one run becomes the reference "Singles" beside a second field of long tracks.
    dir.write("run.elist", singles());
    process(paramFile(""));
    std::filesystem::create_directories(dir.file("db"));
    std::filesystem::copy_file(dir.file("out/SigVec/SigVec.vec"), dir.file("db/SigVec_Singles.vec"));
    std::filesystem::copy_file(dir.file("out/SigVec/SigVec.vec_info"), dir.file("db/SigVec_Singles.vec_info"));
    dir.write("db/SigVec_Tracks.vec", "0\n0\n1\n0\n0\n0\n1\n0\n0\n1\n");
    dir.write("db/SigVec_Tracks.vec_info", "[VecPar]\n\nLabel=\"tracks\"\n");

    restart();
    process(paramFile("RadFieldRecogDatabasePath = \"" + dir.file("db/") + "\"\n"));
    const nlohmann::json json = list();
    EXPECT_EQ(json["StateResult"], "Singles");
    EXPECT_EQ(json["ProbResult_perc"], "100.00");
    std::string name;
    double score = 0;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "Singles");
    EXPECT_EQ(score, 100);
}

TEST_F(FieldRecognitionRun, ConfigurationsThatCannotWorkAreReportedAndTheRunGoesOn) {
    dir.write("run.elist", singles());
    process(paramFile("SigVecPath = \"" + dir.dir() + "\"\nSigVecName = \"absent.ini\"\n"));
    EXPECT_NE(log().find("-1026 : Can not open file with sig vec config: " + dir.file("absent.ini")),
              std::string::npos);
    EXPECT_NE(log().find("-1041 : Error occurred during significant vector module initialization."),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/File/SamplingList.json")));

    // A histogram the histogram module does not have: named, and the vector is not made.
    restart();
    dir.write("SigVec.ini", "[Var_S]\nHistName=\"Hist1D_S_Total\"\nIntervals=0,5\n\n"
                            "[Var_Nope]\nHistName=\"Hist1D_Nope_Total\"\nIntervals=0,1\n");
    load(paramFile(kTimepix3CdTe + "SigVecPath = \"" + dir.dir() + "\"\nSigVecName = \"SigVec.ini\"\n"));
    EXPECT_EQ(zeltest::quietly([] { return zel::processFile("", "", ""); }), -3005);
    EXPECT_NE(log().find("-3004 : Creating significant vector failed because not all needed histograms were given: "
                         "Hist1D_Nope_Total\n"),
              std::string::npos);
    EXPECT_NE(log().find("-3005 : Error occurred during significant vector creation"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/File/SamplingList.json")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/RadFieldRecog/RadFieldRecogList.json")));

    // A user vector of one component against the built-in ten: the comparison fails.
    restart();
    dir.write("SigVec.ini", "[Var_S]\nHistName=\"Hist1D_S_Total\"\nIntervals=0,5\n");
    load(paramFile(kTimepix3CdTe + "SigVecPath = \"" + dir.dir() + "\"\nSigVecName = \"SigVec.ini\"\n"));
    EXPECT_EQ(zeltest::quietly([] { return zel::processFile("", "", ""); }), -3003);
    EXPECT_NE(log().find("-122 : ComparatorDB : Input vector is not compatible with used database."),
              std::string::npos);
    std::string name = "kept";
    double score = 3;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "");
    EXPECT_EQ(score, -100);

    // A database directory without vector files switches recognition off.
    restart();
    std::filesystem::create_directories(dir.file("empty"));
    process(paramFile("RadFieldRecogDatabasePath = \"" + dir.file("empty/") + "\"\n"));
    EXPECT_NE(log().find("No vectors were found for database load in " + dir.file("empty/")), std::string::npos);
    EXPECT_NE(log().find("-1027 : Error occurred during comparator module initialization."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/RadFieldRecog/RadFieldRecogList.json")));
}

}  // namespace
