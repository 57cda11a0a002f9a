#include "support/file_facts.h"

#include <filesystem>

const bool kNamesFoldEveryLetter = false;

std::uint64_t hardLinkCount(const std::string& path) {
    return std::filesystem::hard_link_count(path);
}
