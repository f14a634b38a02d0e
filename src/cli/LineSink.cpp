#include "LineSink.h"

#include "Errors.h"
#include "Utf8.h"

#include <cerrno>
#include <cstdio>

namespace vintrel {

void LineSink::add(std::string line) {
    line += "\r\n";
    if (file_) {
        file_->add(line);
        return;
    }
    buffer_ += line;
    if (buffer_.size() >= 1 << 16) flush();
}

void LineSink::finish(bool stopped) {
    if (file_ && stopped && !file_->writesDirectly()) {
        if (!file_->finishIfNew()) {
            std::fprintf(stderr, "vintrel2-scan: '%s' was left as it was\n",
                         DisplayText(fileName_).c_str());
        }
    } else if (file_) {
        file_->finish();
    }
    flush();
    if (std::fflush(stdout) != 0) throw UserError(StreamWriteError(errno));
}

void LineSink::flush() {
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size()) {
        throw UserError(StreamWriteError(errno));
    }
    buffer_.clear();
}

} // namespace vintrel
