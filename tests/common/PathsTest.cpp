#include "common/Paths.h"

#include <gtest/gtest.h>

TEST(Paths, TitlesBecomeFileNamesWithoutSeparators) {
    EXPECT_EQ(zel::fileNameFromTitle("Hist1D_E_LE ions (<10 MeV/u)"), "Hist1D_E_LE ions (_10 MeV_u)");
    EXPECT_EQ(zel::fileNameFromTitle("Hist1D_S_Low LET: electrons"), "Hist1D_S_Low LET_ electrons");
    EXPECT_EQ(zel::fileNameFromTitle("Hist1D_S_Total"), "Hist1D_S_Total");
}

TEST(Paths, ForeignSeparatorsBecomeThePlatformsOwn) {
    EXPECT_EQ(zel::toPlatformSeparators("a\\b/c"), std::string("a") + zel::kSeparator + "b" + zel::kSeparator + "c");
    EXPECT_EQ(zel::currentDirPrefix(), std::string(".") + zel::kSeparator);
}
