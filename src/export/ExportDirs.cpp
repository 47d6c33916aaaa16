#include "export/ExportDirs.h"

#include <filesystem>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "engine/Settings.h"

namespace zel {
namespace {

// Empties an analysis subdirectory left by an earlier run: only its files go, never anything below.
void emptyDirectory(const std::string& path) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (it->is_regular_file(fileError)) std::filesystem::remove(it->path(), fileError);
    }
}

}  // namespace

int createExportDirs(Settings& s, bool clusterPictures, const MessageTarget& to) {
    if (!s.DoCreateExportDir) {
        s.ExportDirFile.clear();
        s.ExportDirHist.clear();
        return 0;
    }
    struct Wanted {
        const std::string& subdir;
        bool create;
        bool analysis;  // gets its own Hist, Graph and Plot subdirectories
    };
    const Wanted wanted[] = {
        {s.ExportDirFile, true, false},
        {s.ExportDirSpatialMap, true, false},
        {s.ExportDirHist, true, false},
        {s.ExportDirCoincEvent, s.DoCoinc, true},
        {s.ExportDirFrame, s.DoFrame, true},
        {s.ExportDirRadFieldRecog, s.DoRadFieldRecog, false},
        {s.ExportDirDirection, s.DoDirection, false},
        {s.ExportDirCompton, s.DoCompton, false},
        {s.ExportDirSigVec, s.DoSigVec, false},
        {s.ExportDirEventVisual, clusterPictures, false},
        {s.ExportDirGraph, s.DoExportGraphics, false},
    };
    std::string failed;
    auto make = [&](const std::string& path) {
        if (!makeDirectories(path)) failed += (failed.empty() ? "" : ", ") + path;
    };
    for (const auto& w : wanted) {
        if (!w.create || w.subdir.empty()) continue;
        const std::string dir = s.FileOutPath + w.subdir;
        make(dir);
        if (!w.analysis) continue;
        std::vector<std::string> inner{"Hist"};
        if (s.DoExportGraphics && &w.subdir != &s.ExportDirFrame) inner.push_back("Graph");
        if (s.DoCreateClog) inner.push_back("Plot");
        for (const auto& name : inner) {
            const std::string path = dir + name + kSeparator;
            emptyDirectory(path);
            make(path);
        }
    }
    if (!failed.empty()) {
        printErrorCode(to, "Error occurred during creation of export directories. Dirs: " + failed, -1043);
        return -1043;
    }
    return 0;
}

}  // namespace zel
