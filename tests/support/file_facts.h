#pragma once
// What the tests ask the file system itself.
#include <cstdint>
#include <string>
#include <vector>

// How many names (hard links) the file has. The C++ library on Windows always says one.
std::uint64_t hardLinkCount(const std::string& path);

// Whether the file system takes names that differ only in the letter case of any letter (É
// and é too) for one name, as Windows' do; Linux's tell every byte apart.
extern const bool kNamesFoldEveryLetter;

// Every name in a folder, hidden ones included, sorted: a left-over temporary shows.
std::vector<std::string> folderNames(const std::string& folder);
