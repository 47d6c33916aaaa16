#include "common/OwnLog.h"

namespace zel {

void OwnLog::configure(bool on, std::string directory, std::string fileName, bool append) {
    on_ = on;
    directory_ = std::move(directory);
    fileName_ = fileName.empty() ? std::string("LogFile.txt") : std::move(fileName);
    append_ = append;
    stream_.reset();
}

bool OwnLog::open(MessageTarget& to) {
    if (!on_ || !to.doLog) return true;
    if (!stream_ || !stream_->is_open()) {
        auto stream = std::make_shared<std::ofstream>(path(), append_ ? std::ios::app : std::ios::trunc);
        if (!stream->is_open()) return false;
        stream_ = std::move(stream);
    }
    to.log = stream_.get();
    return true;
}

}  // namespace zel
