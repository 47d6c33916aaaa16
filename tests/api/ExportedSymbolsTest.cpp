#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

const std::string kLibrary = ZEL_BIN_DIR "/libZEL_API.so";

// Names of the functions the public header declares for export: its lines that begin with the export macro.
std::multiset<std::string> declaredNames() {
    std::ifstream in(ZEL_SOURCE_DIR "/include/zel/ZEL_API.h");
    static const std::regex declaration(R"(^ZEL_EXPORT\s+[^(]*?\b(\w+)\s*\(.*)");
    std::multiset<std::string> names;
    std::smatch match;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, match, declaration)) names.insert(match[1].str());
    return names;
}

// The library's defined dynamic symbols as nm lists them: type letter and demangled name with parameters
// ("zel::version[abi:cxx11]()"); empty when nm cannot be run.
std::vector<std::pair<char, std::string>> definedSymbols() {
    std::vector<std::pair<char, std::string>> symbols;
    std::FILE* pipe = popen(("nm -D --defined-only -C '" + kLibrary + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return symbols;
    static const std::regex line(R"(^[0-9a-fA-F]*\s+(\S)\s+(.+?)\r?\n?$)");
    char buffer[4096];
    std::cmatch match;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        if (std::regex_match(buffer, match, line)) symbols.emplace_back(match[1].str()[0], match[2].str());
    pclose(pipe);
    return symbols;
}

TEST(ExportedSymbols, HeaderDeclaresSeventyTwoDistinctFunctions) {
    const auto names = declaredNames();
    EXPECT_EQ(names.size(), 72u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "a name is declared twice";
}

TEST(ExportedSymbols, LibraryExportsExactlyTheHeaderFunctionsInNamespaceZel) {
    if (!std::filesystem::exists(kLibrary)) GTEST_SKIP() << "library not built: " << kLibrary;
    const auto symbols = definedSymbols();
    if (symbols.empty()) GTEST_SKIP() << "nm is not available";

    std::set<std::string> exported;
    for (const auto& [type, symbol] : symbols) {
        // "zel::getCurrentFlux(double&, double)" -> "getCurrentFlux"
        if (type != 'T') continue;
        if (symbol.rfind("zel::", 0) == 0)
            exported.insert(symbol.substr(5, symbol.find_first_of("([") - 5));
        else
            ADD_FAILURE() << "text symbol outside namespace zel: " << symbol;
    }
    const auto declared = declaredNames();
    for (const std::string& name : declared) EXPECT_EQ(exported.count(name), 1u) << "not exported: zel::" << name;
    for (const std::string& name : exported)
        EXPECT_EQ(declared.count(name), 1u) << "exported but not part of the interface: zel::" << name;
}

}  // namespace
