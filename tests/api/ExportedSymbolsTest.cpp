#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
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
    std::string line;
    std::smatch match;
    while (std::getline(in, line))
        if (std::regex_match(line, match, declaration)) names.insert(match[1].str());
    return names;
}

struct Symbol {
    char type;
    std::string name;  // demangled, parameters included
};

// The library's defined dynamic symbols as nm lists them; false when nm cannot be run.
bool definedSymbols(std::vector<Symbol>& symbols) {
    const std::string command = "nm -D --defined-only -C '" + kLibrary + "' 2>/dev/null";
    struct PipeCloser {
        void operator()(std::FILE* pipe) const { pclose(pipe); }
    };
    std::unique_ptr<std::FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    if (!pipe) return false;
    static const std::regex line(R"(^[0-9a-fA-F]*\s+(\S)\s+(.+)$)");
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        std::string text(buffer);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::smatch match;
        if (std::regex_match(text, match, line)) symbols.push_back({match[1].str()[0], match[2].str()});
    }
    return !symbols.empty();
}

// "zel::getCurrentFlux(double&, double)" -> "getCurrentFlux", "zel::version[abi:cxx11]()" -> "version"; empty when
// the symbol is outside zel.
std::string zelFunctionName(const std::string& symbol) {
    static const std::string prefix = "zel::";
    if (symbol.rfind(prefix, 0) != 0) return {};
    return symbol.substr(prefix.size(), symbol.find_first_of("([") - prefix.size());
}

TEST(ExportedSymbols, HeaderDeclaresSeventyTwoDistinctFunctions) {
    const auto names = declaredNames();
    EXPECT_EQ(names.size(), 72u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "a name is declared twice";
}

TEST(ExportedSymbols, LibraryExportsExactlyTheHeaderFunctionsInNamespaceZel) {
    if (!std::filesystem::exists(kLibrary)) GTEST_SKIP() << "library not built: " << kLibrary;
    std::vector<Symbol> symbols;
    if (!definedSymbols(symbols)) GTEST_SKIP() << "nm is not available";

    std::set<std::string> exported;
    for (const Symbol& symbol : symbols) {
        if (symbol.type != 'T') continue;
        const std::string name = zelFunctionName(symbol.name);
        EXPECT_FALSE(name.empty()) << "text symbol outside namespace zel: " << symbol.name;
        if (!name.empty()) exported.insert(name);
    }
    const auto declared = declaredNames();
    for (const std::string& name : declared) EXPECT_EQ(exported.count(name), 1u) << "not exported: zel::" << name;
    for (const std::string& name : exported)
        EXPECT_EQ(declared.count(name), 1u) << "exported but not part of the interface: zel::" << name;
}

}  // namespace
