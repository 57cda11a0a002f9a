#pragma once
// A zip archive with stored (uncompressed) entries: what the fake service hands out as a
// build result. Any zip reader, bsdtar included, unpacks it.
#include <string>
#include <utility>
#include <vector>

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& files);
