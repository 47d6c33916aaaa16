#include "rfr/ComparatorDB.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "support/LoggedDir.h"

namespace {

using zel::ComparatorDB;
using zel::SigVec;

const std::vector<double> kCs137{0.590565, 0.392431, 0.0170042, 0.320092, 0.290723,
                                 0.379943, 0.00924142, 0.735037, 0.0449512, 0.220012};

struct ComparatorTest : ::testing::Test, zeltest::LoggedDir {
    SigVec input{0, {nullptr, false, false}};

    // A database directory entry: prefix + field with the info and data endings.
    void writeVector(const std::string& name, const std::string& data) {
        write(name + ".vec_info", "[VecPar]\n\nLabel=\"" + name + "\"\n");
        write(name + ".vec", data);
    }
    ComparatorDB directoryDatabase() {
        ComparatorDB db(-5300, target());
        db.SetDatabaseSource(dir(), "SigVec", ".vec", ".vec_info");
        db.SetUseBuiltInData(false);
        return db;
    }
};

TEST_F(ComparatorTest, BuiltInDatabaseNamesTheNearestFieldAndProbabilitiesSumToOne) {
    ComparatorDB db(-5300, target());
    ASSERT_EQ(db.Init(), 0);
    ASSERT_EQ(db.GetDatabase().size(), 6u);
    std::vector<double> v = kCs137;
    v[4] += 0.1;
    input.SetVector(v);
    std::string name;
    double probability = -1;
    ASSERT_EQ(db.Process(name, probability, &input), 0);
    EXPECT_EQ(name, "Cs137");
    EXPECT_EQ(db.GetBestIndex(), 1);
    EXPECT_NEAR(db.GetDistances()[1], 0.1, 1e-12);
    const std::vector<double>& p = db.GetProbabilities();
    EXPECT_NEAR(std::accumulate(p.begin(), p.end(), 0.0), 1.0, 1e-12);
    EXPECT_EQ(probability, p[1]);
    EXPECT_EQ(*std::max_element(p.begin(), p.end()), p[1]);
}

TEST_F(ComparatorTest, EqualDistancesGiveEqualProbabilitiesAndTheLaterEntryIsNamed) {
    writeVector("SigVec_A", "0\n0\n");
    writeVector("SigVec_B", "2\n0\n");
    ComparatorDB db = directoryDatabase();
    ASSERT_EQ(db.Init(), 0);
    input.SetVector({1, 0});
    std::string name;
    double probability = 0;
    ASSERT_EQ(db.Process(name, probability, &input), 0);
    EXPECT_EQ(db.GetProbabilities(), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(name, "B");
    EXPECT_EQ(probability, 0.5);
}

TEST_F(ComparatorTest, AnExactMatchFollowsPlainArithmetic) {
    // The comparator does not guard a zero distance: the matching entry's probability is no number and the
    // scan names the last comparable entry; the engine settles this case itself.
    writeVector("SigVec_A", "1\n0\n");
    writeVector("SigVec_B", "0\n1\n");
    ComparatorDB db = directoryDatabase();
    ASSERT_EQ(db.Init(), 0);
    input.SetVector({1, 0});
    std::string name;
    double probability = 0;
    ASSERT_EQ(db.Process(name, probability, &input), 0);
    EXPECT_EQ(db.GetDistances()[0], 0);
    EXPECT_TRUE(std::isnan(db.GetProbabilities()[0]));
    EXPECT_EQ(db.GetProbabilities()[1], 0);
    EXPECT_EQ(name, "B");
}

TEST_F(ComparatorTest, IncompatibleOrMissingInputFails) {
    ComparatorDB db(-5300, target());
    std::string name = "kept";
    double probability = 7;
    EXPECT_EQ(db.Process(name, probability, &input), -5407);
    EXPECT_NE(messages().find("Init has not been done. Processing failed."), std::string::npos);
    ASSERT_EQ(db.Init(), 0);
    EXPECT_EQ(db.Process(name, probability, &input), -5408);
    input.SetVector(std::vector<double>(9, 0.1));
    EXPECT_EQ(db.Process(name, probability, &input), ComparatorDB::kIncompatible);
    EXPECT_NE(messages().find("Size of input vector: 9is different than size of first vec in database:10"),
              std::string::npos);
    EXPECT_NE(messages().find("-122 : ComparatorDB : Input vector is not compatible with used database."),
              std::string::npos);
    EXPECT_EQ(db.Process(name, probability, nullptr), -5409);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(probability, 7);
}

TEST_F(ComparatorTest, DatabaseDirectoryFlaws) {
    // Nothing matching the prefix and ending.
    write("Other.vec_info", "[VecPar]\n");
    ComparatorDB none = directoryDatabase();
    EXPECT_EQ(none.Init(), -5402);
    EXPECT_NE(messages().find("No vectors were found for database load in " + dir()), std::string::npos);
    EXPECT_NE(messages().find("Database has not been loaded. Init failed."), std::string::npos);

    // An entry of another length is compared at the stand-in distance, after a message.
    writeVector("SigVec_Long", "1\n1\n1\n");
    writeVector("SigVec_Short", "1\n1\n");
    ComparatorDB mixed = directoryDatabase();
    ASSERT_EQ(mixed.Init(), 0);
    input.SetVector({1, 1, 0});
    std::string name;
    double probability = 0;
    ASSERT_EQ(mixed.Process(name, probability, &input), 0);
    EXPECT_EQ(mixed.GetDistances(), (std::vector<double>{1, ComparatorDB::kNoDistance}));
    EXPECT_EQ(name, "Long");
    EXPECT_NE(messages().find("Vectors have different sizes. DistanceEuclid terminated."), std::string::npos);

    // A data file without numbers, or without a data file at all, stops the load.
    writeVector("SigVec_Words", "none\n");
    EXPECT_EQ(directoryDatabase().Init(), -5402);
    EXPECT_NE(messages().find("Fail of SigVec load. It is empty. Load from file: SigVec_Words.vec_info"),
              std::string::npos);
    std::filesystem::remove(file("SigVec_Words.vec"));
    EXPECT_EQ(directoryDatabase().Init(), -5402);
    EXPECT_NE(messages().find("Fail of SigVec load from file: SigVec_Words.vec_info"), std::string::npos);
}

TEST_F(ComparatorTest, ProbabilitiesAndDistancesOfEdgeInputs) {
    ComparatorDB db(0, target());
    EXPECT_TRUE(db.ProbabilitiesFromDistances({}).empty());
    EXPECT_NE(messages().find("-106 : ComparatorDB : Failed to calculate probabilities from distance."),
              std::string::npos);
    EXPECT_EQ(db.DistanceEuclid({0, 0}, {3, 4}), 5);
    EXPECT_EQ(db.DistanceEuclid({0}, {3, 4}), -1);
    EXPECT_EQ(db.DistanceEuclid({NAN}, {1}), -1);
    const std::vector<double> p = db.ProbabilitiesFromDistances({1, 3});
    EXPECT_DOUBLE_EQ(p[0], 0.75);
    EXPECT_DOUBLE_EQ(p[1], 0.25);
}

}  // namespace

TEST_F(ComparatorTest, OwnLogTakesTheMessagesOrFailsInitialisation) {
    writeVector("SigVec_A", "1\n0\n");
    ComparatorDB db = directoryDatabase();
    db.SetOwnLog(true, dir(), "comparator.log");
    ASSERT_EQ(db.Init(), 0);
    input.SetVector({1, 0, 0});
    std::string name;
    double probability = 0;
    EXPECT_NE(db.Process(name, probability, &input), 0);
    EXPECT_NE(read(file("comparator.log")).find("is different than size of first vec in database"), std::string::npos);
    EXPECT_EQ(messages().find("is different than size"), std::string::npos) << "the given log stays quiet";

    ComparatorDB unwritable = directoryDatabase();
    unwritable.SetOwnLog(true, dir() + "missing/", "comparator.log");
    EXPECT_EQ(unwritable.Init(), -5300 - 102);
    EXPECT_NE(messages().find("Can not open log file: " + dir() + "missing/comparator.log"), std::string::npos);
    EXPECT_FALSE(unwritable.IsInitialised());
}
