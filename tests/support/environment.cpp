#include "support/environment.h"

#include <cstdlib>

std::string pathWithFirst(const std::string& folder) {
    const char* path = std::getenv("PATH");
    return path ? folder + kPathListSeparator + path : folder;
}
