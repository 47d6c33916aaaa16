#include "EventListTable.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/CodeBases.h"
#include "input/Elist.h"

namespace zel::python {
namespace {

// The reader reports through the messages facility; its messages are caught in a scratch log file so that the
// Python error can carry them.
class ScratchLog {
public:
    ScratchLog() {
        std::string name = (std::filesystem::temp_directory_path() / "zel-elist-XXXXXX").string();
        const int fd = mkstemp(name.data());
        if (fd >= 0) {
            path_ = name;
            ::close(fd);
            stream_.open(path_, std::ios::out | std::ios::trunc);
        }
    }
    ~ScratchLog() {
        stream_.close();
        if (!path_.empty()) std::remove(path_.c_str());
    }
    ScratchLog(const ScratchLog&) = delete;
    ScratchLog& operator=(const ScratchLog&) = delete;

    MessageTarget target() { return {stream_.is_open() ? &stream_ : nullptr, false, stream_.is_open()}; }

    // The first error line written, without its "[ERROR] code : " prefix.
    std::string firstError() {
        stream_.flush();
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("[ERROR]", 0) != 0) continue;
            const size_t colon = line.find(" : ");
            return colon == std::string::npos ? line.substr(7) : line.substr(colon + 3);
        }
        return {};
    }

private:
    std::string path_;
    std::ofstream stream_;
};

}  // namespace

EventListTable readEventListTable(const std::string& path, const std::string& name) {
    EventListTable table;
    ScratchLog log;
    Elist reader(path, name, 'r', log.target(), kCodeBaseElist);
    auto failed = [&](int code) {
        table.code = code;
        table.message = log.firstError();
        if (table.message.empty()) table.message = "Can not read event list " + path + name + ".";
        return table;
    };
    if (const int code = reader.init(); code != 0) return failed(code);
    table.names = reader.names();
    table.units = reader.units();
    const size_t width = table.names.size();
    ClusterBatch batch(width);
    while (reader.hasMoreData()) {
        if (const int code = reader.readBatch(batch); code != 0) return failed(code);
        for (size_t r = 0; r < batch.size(); ++r) {
            const auto row = batch.row(r);
            table.values.insert(table.values.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(width));
        }
        table.rows += batch.size();
    }
    return table;
}

}  // namespace zel::python
