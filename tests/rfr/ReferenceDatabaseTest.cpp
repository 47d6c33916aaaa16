// A reference database built from measurements of known fields with scripts/add-reference-field.sh: three
// generated fields of different particle mixes, each measured again with another seed, are each recognised as
// themselves.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "engine/EngineRunSupport.h"

namespace {

struct Field {
    const char* name;
    const char* mix;  // photons, electrons, MIPs, ions
};
constexpr Field kFields[] = {
    {"Photons", "0.9,0.1,0,0"},
    {"Electrons", "0.1,0.8,0.1,0"},
    {"Ions", "0.3,0.1,0.2,0.4"},
};

struct ReferenceDatabase : enginetest::EngineRun {
    int shell(const std::string& command) {
        const int status = std::system((command + " >>\"" + dir.file("programs.txt") + "\" 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void generate(const Field& field, int seed, const std::string& out) {
        ASSERT_EQ(shell(std::string(ZEL_BIN_DIR) + "/zel_gen_elist --clusters 2000 --seed " + std::to_string(seed) +
                        " --mix " + field.mix + " --out " + dir.file(out)),
                  0);
    }
    int addField(const std::string& name, const std::string& measurement) {
        return shell("ZEL=" + std::string(ZEL_BIN_DIR) + "/zel " + ZEL_SOURCE_DIR +
                     "/scripts/add-reference-field.sh " + dir.file("db") + " " + name + " " + dir.file(measurement));
    }
};

TEST_F(ReferenceDatabase, EachGeneratedFieldIsRecognisedAsItself) {
    for (const Field& field : kFields) {
        generate(field, 1, std::string(field.name) + ".elist");
        ASSERT_EQ(addField(field.name, std::string(field.name) + ".elist"), 0) << read("programs.txt");
        EXPECT_TRUE(std::filesystem::exists(dir.file(std::string("db/SigVec_") + field.name + ".vec_info")));
    }
    for (const Field& field : kFields) {
        generate(field, 2, "run.elist");
        restart();
        process(params("run.elist", "DoFilter = false\nRadFieldRecogDatabasePath = \"" + dir.file("db/") + "\"\n"));
        std::string name;
        double score = 0;
        EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
        // Three fields: the best has more than a third; the distinct mixes leave it far ahead.
        EXPECT_EQ(name, field.name);
        EXPECT_GT(score, 80) << field.name;
        EXPECT_EQ(results().is_object(), true);
    }
}

TEST_F(ReferenceDatabase, ScriptRefusesWhatItCannotUse) {
    dir.write("plain.elist", "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n0\t1\t1\t5\t100\t1\n");
    // Without the columns of the built-in vector no vector is made, and the database is not created.
    EXPECT_EQ(addField("Plain", "plain.elist"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("db")));
    EXPECT_EQ(addField("Bad.Name", "plain.elist"), 2);
    EXPECT_EQ(addField("Absent", "absent.elist"), 1);
}

}  // namespace
