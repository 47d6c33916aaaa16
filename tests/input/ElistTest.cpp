#include "input/Elist.h"

#include "InputTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using zel::ClusterBatch;
using zel::Elist;
using zel::Var;

constexpr int kBase = -5600;

struct ElistFile : ::testing::Test {
    zel::test::Scratch scratch;
    ClusterBatch batch;

    std::unique_ptr<Elist> open(const std::string& text, int expectedInit = 0, const std::string& name = "a.elist") {
        scratch.write(name, text);
        auto list = std::make_unique<Elist>(scratch.path(), name, 'r', scratch.target(), kBase);
        EXPECT_EQ(list->init(), expectedInit);
        return list;
    }
    double at(size_t row, Var role, const Elist& list) const {
        return batch.at(row, static_cast<size_t>(list.column(role)));
    }
};

TEST_F(ElistFile, SecondsBecomeNanosecondsAndMillimetresBecomePixels) {
    auto list = open("EventID\tX\tY\tT\tE\n-\tmm\tmm\ts\tkeV\n1\t0.055\t1.1\t2.5\t30\n");
    ASSERT_EQ(list->readBatch(batch), 0);
    ASSERT_EQ(batch.size(), 1u);
    EXPECT_DOUBLE_EQ(at(0, Var::T, *list), 2.5e9);
    EXPECT_NEAR(at(0, Var::X, *list), 1.0, 1e-12);
    EXPECT_NEAR(at(0, Var::Y, *list), 20.0, 1e-12);
    EXPECT_DOUBLE_EQ(at(0, Var::E, *list), 30.0);
    EXPECT_FALSE(list->isTimeInNs());
    EXPECT_TRUE(list->isCoordinatesInMm());
    EXPECT_EQ(list->units(), (std::vector<std::string>{"-", "px", "px", "ns", "keV"}));
    EXPECT_EQ(list->fileUnits()[3], "s");
    EXPECT_FALSE(list->hasMoreData());

    auto inNs = open("EventID X Y T\n- px px ns\n1 2 3 2.5\n", 0, "b.elist");
    ASSERT_EQ(inNs->readBatch(batch), 0);
    EXPECT_DOUBLE_EQ(batch.at(0, 3), 2.5);
    EXPECT_DOUBLE_EQ(batch.at(0, 1), 2.0);
}

TEST_F(ElistFile, OlderLayoutIsTranslatedAndItsAngleConvertedFromRadians) {
    auto list = open("EventID x y t Angle Length Width\n- px px ns rad px px\n3 10 20 100 1.5707963267948966 7 2\n");
    EXPECT_TRUE(list->isLegacyLayout());
    EXPECT_EQ(list->names()[1], "X");
    EXPECT_EQ(list->names()[4], "AngleAzim");
    EXPECT_EQ(list->column(Var::LengthProj), 5);
    EXPECT_EQ(list->column(Var::WidthProj), 6);
    EXPECT_EQ(list->checkVariables(), 0);
    ASSERT_EQ(list->readBatch(batch), 0);
    EXPECT_NEAR(at(0, Var::AngleAzim, *list), 90.0, 1e-9);
    EXPECT_DOUBLE_EQ(at(0, Var::X, *list), 10.0);
    EXPECT_EQ(list->units()[4], "deg");
    EXPECT_EQ(scratch.messages().find("Unknown variable"), std::string::npos);
}

TEST_F(ElistFile, ConcatenatedRunsContinueEventIdsAndTimes) {
    auto list = open(
        "EventID\tX\tY\tT\n-\tpx\tpx\tns\n"
        "0\t1\t1\t10\n1\t1\t1\t20\n2\t1\t1\t30\n"  // first run
        "0\t1\t1\t5\n0\t1\t1\t6\n1\t1\t1\t7\n"     // second run: IDs from 0 again, shared first event
        "1\t1\t1\t4\n2\t1\t1\t9\n");                // an earlier time in the same event moves the offset too
    ASSERT_EQ(list->readBatch(batch), 0);
    ASSERT_EQ(batch.size(), 8u);
    const double ids[] = {0, 1, 2, 3, 3, 4, 4, 5};
    const double times[] = {10, 20, 30, 35, 36, 37, 41, 46};
    for (size_t r = 0; r < batch.size(); ++r) {
        EXPECT_DOUBLE_EQ(at(r, Var::EventID, *list), ids[r]) << "row " << r;
        EXPECT_DOUBLE_EQ(at(r, Var::T, *list), times[r]) << "row " << r;
    }
}

TEST_F(ElistFile, RelativeTimeStartsAtTheFirstCluster) {
    scratch.write("r.elist", "EventID X Y T\n- px px ns\n0 1 1 1000\n1 1 1 1250\n");
    Elist list(scratch.path(), "r.elist", 'r', scratch.target(), kBase);
    list.setRelativeTime(true);
    ASSERT_EQ(list.init(), 0);
    ASSERT_EQ(list.readBatch(batch), 0);
    EXPECT_DOUBLE_EQ(batch.at(0, 3), 0.0);
    EXPECT_DOUBLE_EQ(batch.at(1, 3), 250.0);
}

TEST_F(ElistFile, CommentsEmptyLinesCrLfAndOtherSeparatorsAreRead) {
    auto list = open("EventID;X;Y;T\r\n-;px;px;ns\r\n# run 1\r\n\r\n1;+2.5;3;4\r\n#\r\n2;nan;inf;5\r\n");
    EXPECT_EQ(list->separator(), ';');
    EXPECT_EQ(list->units()[3], "ns");
    EXPECT_TRUE(list->isTimeInNs());
    ASSERT_EQ(list->readBatch(batch), 0);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_DOUBLE_EQ(batch.at(0, 1), 2.5);
    EXPECT_TRUE(std::isnan(batch.at(1, 1)));
    EXPECT_TRUE(std::isinf(batch.at(1, 2)));
    EXPECT_EQ(list->linesRead(), 7u);
}

TEST_F(ElistFile, NumbersReadAsTheNearestDouble) {
    const std::vector<std::string> tokens = {
        "0.1", "-0.000001", "123456789012.345", "1958576586914.639", "9007199254740993", "12345678901234567890",
        "0.30000000000000004", "1e3", "-2.5E-3", ".5", "7.", "+0.7", "-0", "000123.4500", "1.7976931348623157e308"};
    std::string text = "EventID X Y T\n- px px ns\n";
    for (const auto& token : tokens) text += "1 " + token + " 1 1\n";
    auto list = open(text);
    ASSERT_EQ(list->readBatch(batch), 0);
    ASSERT_EQ(batch.size(), tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) {
        double expected = std::strtod(tokens[i].c_str(), nullptr);
        EXPECT_EQ(batch.at(i, 1), expected) << tokens[i];
        EXPECT_EQ(std::signbit(batch.at(i, 1)), std::signbit(expected)) << tokens[i];
    }
    for (const char* bad : {"1.2.3", "--1", "1-", "+", "-", "0x10", "1,5"}) {
        auto wrong = open(std::string("EventID X Y T\n- px px ns\n1 ") + bad + " 1 1\n", 0, "bad.elist");
        EXPECT_EQ(wrong->readBatch(batch), kBase - Elist::kCodeNotANumber) << bad;
    }
}

TEST_F(ElistFile, BatchesSplitTheFileAndTheLastOneEndsTheData) {
    std::string text = "EventID X Y T\n- px px ns\n";
    for (int i = 0; i < 55; ++i) text += std::to_string(i) + " 1 1 " + std::to_string(i * 10) + "\n";
    auto list = open(text + "# trailing comment\n\n");
    list->setBatchSize(25);
    for (size_t expected : {25, 25, 5}) {
        ASSERT_TRUE(list->hasMoreData());
        ASSERT_EQ(list->readBatch(batch), 0);
        EXPECT_EQ(batch.size(), expected);
        EXPECT_EQ(batch.width(), 4u);
    }
    EXPECT_FALSE(list->hasMoreData());
    EXPECT_DOUBLE_EQ(batch.at(4, 0), 54.0);
    EXPECT_EQ(list->rowsRead(), 55u);

    // A file that ends exactly with a full batch says so with that batch.
    std::string exact = "EventID X Y T\n- px px ns\n";
    for (int i = 0; i < 50; ++i) exact += std::to_string(i) + " 1 1 1\n";
    auto full = open(exact + "# end\n", 0, "c.elist");
    full->setBatchSize(25);
    ASSERT_EQ(full->readBatch(batch), 0);
    EXPECT_TRUE(full->hasMoreData());
    ASSERT_EQ(full->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 25u);
    EXPECT_FALSE(full->hasMoreData());
}

TEST_F(ElistFile, MissingMandatoryVariablesAreNamedInOneMessage) {
    auto list = open("X\tY\tT\tE\n-\t-\t-\t-\n1\t2\t3\t4\n");
    EXPECT_EQ(list->checkVariables(), kBase - Elist::kCodeMissingVariables);
    auto none = open("E\nkeV\n1\n", 0, "d.elist");
    EXPECT_NE(none->checkVariables(), 0);
    std::string log = scratch.messages();
    EXPECT_NE(log.find("Check failed. Not all needed variables are present in elist to be loaded. Missing event ID.\n"),
              std::string::npos);
    EXPECT_NE(log.find("loaded. Missing X coordinates. Missing Y coordinates. Missing time T. Missing event ID.\n"),
              std::string::npos);
}

TEST_F(ElistFile, HeaderOnlyGivesAnEmptyLastBatchAndAnEmptyFileFailsTheScan) {
    auto header = open("EventID X Y T\n- - - ns\n");
    ASSERT_EQ(header->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 0u);
    EXPECT_FALSE(header->hasMoreData());

    auto empty = open("", kBase - Elist::kCodeNoNames, "e.elist");
    EXPECT_EQ(empty->readBatch(batch), kBase - Elist::kCodeNotScanned);
    open("\n\n", kBase - Elist::kCodeNoNames, "f.elist");
    EXPECT_NE(scratch.messages().find("Incorrect elist or different data format: e.elist\n[ERROR]    Scan failed."),
              std::string::npos);
}

TEST_F(ElistFile, UnitsLineShorterThanNamesFailsTheScan) {
    auto list = open("EventID X Y T\n- px px\n1 2 3 4\n", kBase - Elist::kCodeShortUnits);
    EXPECT_NE(scratch.messages().find("3 units for 4 variable names: a.elist"), std::string::npos);
    EXPECT_NE(list->readBatch(batch), 0);
}

TEST_F(ElistFile, FilesThatCanNotBeOpenedFailInit) {
    std::filesystem::create_directory(scratch.path() + "dir.elist");
    Elist directory(scratch.path(), "dir.elist", 'r', scratch.target(), kBase);
    EXPECT_EQ(directory.init(), kBase - Elist::kCodeCanNotOpen);
    Elist missing(scratch.path(), "none.elist", 'r', scratch.target(), kBase);
    EXPECT_EQ(missing.init(), kBase - Elist::kCodeCanNotOpen);
    EXPECT_EQ(missing.readBatch(batch), kBase - Elist::kCodeNotOpened);
    EXPECT_EQ(missing.scan(), kBase - 104);
    Elist wrongMode(scratch.path(), "none.elist", 'x', scratch.target(), kBase);
    EXPECT_EQ(wrongMode.mode(), '\0');
    EXPECT_EQ(wrongMode.init(), kBase - Elist::kCodeUnknownMode);
    std::string log = scratch.messages();
    EXPECT_NE(log.find("Can not open elist: dir.elist\n"), std::string::npos);
    EXPECT_NE(log.find("-5704 : Scan can not be done. Elist is not opened: none.elist.\n"), std::string::npos);
    EXPECT_NE(log.find("Incorrect mode in initialization. Mode set to unknown."), std::string::npos);
}

TEST_F(ElistFile, RescanWarnsAndReadsFromTheStartAgain) {
    auto list = open("EventID X Y T Foo\n- px px ns -\n0 1 1 1 7\n1 1 1 2 8\n");
    EXPECT_TRUE(list->hasUnknownNames());
    ASSERT_EQ(list->readBatch(batch), 0);
    EXPECT_EQ(list->scan(), 0);
    ASSERT_EQ(list->readBatch(batch), 0);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_DOUBLE_EQ(batch.at(0, 4), 7.0);
    std::string log = scratch.messages();
    EXPECT_NE(log.find("Unknown variable names found in elist: Foo"), std::string::npos);
    EXPECT_NE(log.find("Rescanning of elist: " + scratch.path() + "a.elist"), std::string::npos);
}

// Each bad data line stops the reading with its code and a message that names the file and the line.
struct BadLine {
    const char* dataLine;
    int offset;
    const char* messagePart;
};

class ElistBadInput : public ElistFile, public ::testing::WithParamInterface<BadLine> {};

TEST_P(ElistBadInput, StopsWithCodeFileAndLine) {
    const BadLine& bad = GetParam();
    auto list = open(std::string("EventID X Y T\n- px px ns\n0 1 1 1\n# note\n") + bad.dataLine + "\n1 1 1 2\n");
    list->setBatchSize(1);
    ASSERT_EQ(list->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 1u);
    const int code = kBase - bad.offset;
    EXPECT_EQ(list->readBatch(batch), code);
    EXPECT_EQ(batch.size(), 0u);
    EXPECT_FALSE(list->hasMoreData());
    EXPECT_EQ(list->readBatch(batch), code);
    std::string log = scratch.messages();
    EXPECT_NE(log.find(std::to_string(code) + " : "), std::string::npos) << log;
    EXPECT_NE(log.find(bad.messagePart), std::string::npos) << log;
    EXPECT_NE(log.find("a.elist, line 5."), std::string::npos) << log;
}

const std::string kLongLine = "1 1 1 " + std::string(1100, '1');

INSTANTIATE_TEST_SUITE_P(
    Lines, ElistBadInput,
    ::testing::Values(BadLine{kLongLine.c_str(), Elist::kCodeLineTooLong, "longer than 1023 characters"},
                      BadLine{"1 1 abc 2", Elist::kCodeNotANumber, "\"abc\" is not a number"},
                      BadLine{"1 1 1e 2", Elist::kCodeNotANumber, "\"1e\" is not a number"},
                      BadLine{"1 1 1 2 5", Elist::kCodeTooManyValues, "more values than the 4"},
                      BadLine{"1 1 1", Elist::kCodeTooFewValues, "3 values for 4"},
                      BadLine{"1 1 1 nan", Elist::kCodeBadTimeOrEvent, "must be finite"},
                      BadLine{"inf 1 1 3", Elist::kCodeBadTimeOrEvent, "must be finite"}));

TEST_F(ElistFile, LongestSupportedLineIsRead) {
    std::string line = "1 1 1 " + std::string(1017, '0') + "5";
    ASSERT_EQ(line.size(), 1024u);
    auto tooLong = open("EventID X Y T\n- px px ns\n" + line + "\r\n");
    EXPECT_EQ(tooLong->readBatch(batch), kBase - Elist::kCodeLineTooLong);
    line.erase(6, 1);
    auto fits = open("EventID X Y T\n- px px ns\n" + line + "\r\n", 0, "b.elist");
    ASSERT_EQ(fits->readBatch(batch), 0);
    EXPECT_DOUBLE_EQ(batch.at(0, 3), 5.0);
}

TEST_F(ElistFile, LinesBeyondTheReadBufferAreRefusedWithTheirNumber) {
    const std::string huge(Elist::kMaxHeaderLineLength + 1, '7');
    auto data = open("EventID X Y T\n- px px ns\n0 1 1 1\n" + huge + "\n1 1 1 2\n");
    EXPECT_EQ(data->readBatch(batch), kBase - Elist::kCodeLineTooLong);
    EXPECT_NE(scratch.messages().find("a.elist, line 4."), std::string::npos);

    open("EventID X Y T\n" + huge + "\n", kBase - Elist::kCodeLineTooLong, "b.elist");
    EXPECT_NE(scratch.messages().find("Line 2 of elist " + scratch.path() + "b.elist is longer than 2097151 characters."),
              std::string::npos);
}

TEST_F(ElistFile, TruncatedLastLineIsSkippedWithAWarning) {
    auto list = open("EventID X Y T\n- px px ns\n0 1 1 1\n1 1 1 2\n2 1 1");
    ASSERT_EQ(list->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 2u);
    EXPECT_FALSE(list->hasMoreData());
    auto cutInNumber = open("EventID X Y T\n- px px ns\n0 1 1 1\n1 1 1 2e", 0, "b.elist");
    ASSERT_EQ(cutInNumber->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 1u);
    auto complete = open("EventID X Y T\n- px px ns\n0 1 1 1\n1 1 1 2", 0, "c.elist");
    ASSERT_EQ(complete->readBatch(batch), 0);
    EXPECT_EQ(batch.size(), 2u);
    std::string log = scratch.messages();
    EXPECT_NE(
        log.find("[WARNING]  Incomplete last line of elist is skipped. Elist: " + scratch.path() + "a.elist, line 5."),
        std::string::npos);
    EXPECT_NE(log.find("b.elist, line 4."), std::string::npos);
}

TEST_F(ElistFile, OnlyReadingIsAMode) {
    scratch.write("r.elist", "EventID X Y T\n- px px ns\n0 1 1 1\n");
    Elist written(scratch.path(), "r.elist", 'w', scratch.target(), kBase);
    EXPECT_EQ(written.init(), kBase - Elist::kCodeUnknownMode);
    EXPECT_EQ(scratch.read(scratch.file("r.elist")), "EventID X Y T\n- px px ns\n0 1 1 1\n");  // untouched
}

}  // namespace
