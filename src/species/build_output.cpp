#include "species/build_output.h"

namespace species {

void BuildOutput::feed(std::string_view block) {
    pending_.append(block);
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        takeLine(std::string_view(pending_).substr(start, end - start));
    }
    pending_.erase(0, start);
}

void BuildOutput::finish() {
    if (pending_.empty()) return;
    takeLine(pending_);
    pending_.clear();
}

void BuildOutput::takeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find("BUILD OK") != std::string_view::npos) succeeded_ = true;
    onLine_(line);
}

}  // namespace species
