#pragma once
#include <cstddef>
#include <string_view>

// The page's files, compiled into the executable by the build (see cmake/embed_files.cpp).
struct EmbeddedFile {
    unsigned id;
    std::string_view bytes;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;
