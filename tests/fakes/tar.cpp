// Stands in for the tar.exe of the Windows system folder in the Windows tests; mingw-w64 has
// no libarchive here. It knows the command lines the tool runs, with zip archives:
//   tar -a -c -f ARCHIVE.zip -C FOLDER NAME...   packs the named files and folders (stored)
//   tar -t -v -f ARCHIVE [NAME...]               lists entries as bsdtar does, sizes included
//   tar -x -f ARCHIVE -C FOLDER [NAME...]        unpacks a zip of stored entries, or the named
// Like the real one it refuses entries with absolute paths or ".." and says so on standard
// error, and goes on with the rest; a named entry that is not there is reported too. Options
// may be joined (-xf) as tar allows; --no-same-owner and --no-same-permissions change nothing
// on Windows.
// What a test asks through the environment:
//   FAKE_TAR_KEEP   file that receives a copy of every archive packed
//   FAKE_TAR_SIZE   packing makes an archive of that many bytes (sparse) instead
//   FAKE_TAR_CUT    unpacking leaves each .utoc it writes cut to one byte, as a disk that
//                   filled up would
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "build_service/zip.h"
#include "fake_system.h"

namespace fs = std::filesystem;

namespace {

struct CommandLine {
    char mode = 0;  // 'c', 't' or 'x'
    std::string archive;
    std::string folder = ".";
    std::vector<std::string> names;
};

bool parse(const std::vector<std::string>& args, CommandLine& line) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-same-owner" || arg == "--no-same-permissions") continue;
        if (arg.size() < 2 || arg[0] != '-' || arg[1] == '-') {
            line.names.push_back(arg);
            continue;
        }
        for (char option : arg.substr(1)) {
            if (option == 'c' || option == 't' || option == 'x') {
                line.mode = option;
            } else if (option == 'f' || option == 'C') {
                if (++i >= args.size()) return false;
                (option == 'f' ? line.archive : line.folder) = args[i];
            } else if (option != 'a' && option != 'v') {
                return false;
            }
        }
    }
    return line.mode != 0 && !line.archive.empty();
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string utf8Name(const fs::path& relative) {
    std::u8string name = relative.generic_u8string();
    return std::string(name.begin(), name.end());
}

// Every file below `path` (or the file itself), by name within the archive, sorted.
bool collect(const fs::path& base, const std::string& name,
             std::vector<std::pair<std::string, std::string>>& files) {
    const fs::path path = base / utf8Path(name);
    std::error_code failed;
    if (fs::is_regular_file(path, failed)) {
        files.emplace_back(name, readAll(path));
        return true;
    }
    if (!fs::is_directory(path, failed)) return false;
    files.emplace_back(name + "/", std::string());
    std::vector<fs::path> inside;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path, failed))
        inside.push_back(entry.path());
    std::sort(inside.begin(), inside.end());
    for (const fs::path& entry : inside) {
        const std::string entryName = name + "/" + utf8Name(entry.lexically_relative(path));
        if (fs::is_directory(entry, failed)) {
            files.emplace_back(entryName + "/", std::string());
        } else if (fs::is_regular_file(entry, failed)) {
            files.emplace_back(entryName, readAll(entry));
        }
    }
    return true;
}

int pack(const CommandLine& line) {
    if (auto size = environmentValue("FAKE_TAR_SIZE")) {
        std::ofstream(utf8Path(line.archive), std::ios::binary | std::ios::trunc).close();
        fs::resize_file(utf8Path(line.archive), std::stoull(*size));
        return 0;
    }
    std::vector<std::pair<std::string, std::string>> files;
    int status = 0;
    for (const std::string& name : line.names) {
        if (!collect(utf8Path(line.folder), name, files)) {
            writeStderr("tar.exe: " + name + ": Couldn't visit directory: No such file\n");
            status = 1;
        }
    }
    const std::string archive = storedZip(files);
    std::ofstream(utf8Path(line.archive), std::ios::binary | std::ios::trunc) << archive;
    if (auto keep = environmentValue("FAKE_TAR_KEEP"))
        std::ofstream(utf8Path(*keep), std::ios::binary | std::ios::trunc) << archive;
    return status;
}

std::uint32_t read16(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

std::uint32_t read32(const std::string& bytes, std::size_t at) {
    return read16(bytes, at) | read16(bytes, at + 2) << 16;
}

bool safeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
        return false;
    std::string part;
    std::istringstream parts(name);
    while (std::getline(parts, part, '/')) {
        if (part == "..") return false;
    }
    return name.find('\\') == std::string::npos;
}

struct Entry {
    std::string name;
    std::uint32_t method = 0;
    std::string_view content;
};

// The entries of a zip from its local headers, in order; the central directory that follows
// them ends the walk. False when the archive is cut short.
bool readEntries(const std::string& bytes, std::vector<Entry>& entries) {
    std::size_t at = 0;
    while (at + 30 <= bytes.size() && read32(bytes, at) == 0x04034b50) {
        const std::uint32_t size = read32(bytes, at + 18);
        const std::size_t nameLength = read16(bytes, at + 26);
        const std::size_t data = at + 30 + nameLength + read16(bytes, at + 28);
        if (data + size > bytes.size()) {
            writeStderr("tar.exe: Truncated input file (needed " + std::to_string(size) +
                        " bytes)\n");
            return false;
        }
        entries.push_back({bytes.substr(at + 30, nameLength), read16(bytes, at + 8),
                           std::string_view(bytes).substr(data, size)});
        at = data + size;
    }
    return true;
}

// The entries a command line names (all when it names none); each name that is not there
// is reported.
std::vector<Entry> chosen(const std::vector<Entry>& entries, const CommandLine& line, int& status) {
    if (line.names.empty()) return entries;
    std::vector<Entry> picked;
    for (const std::string& name : line.names) {
        auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const Entry& entry) { return entry.name == name; });
        if (found == entries.end()) {
            writeStderr("tar.exe: " + name + ": Not found in archive\n");
            status = 1;
        } else {
            picked.push_back(*found);
        }
    }
    return picked;
}

int list(const CommandLine& line) {
    const std::string bytes = readAll(utf8Path(line.archive));
    std::vector<Entry> entries;
    if (!readEntries(bytes, entries)) return 1;
    int status = 0;
    for (const Entry& entry : chosen(entries, line, status)) {
        const bool folder = entry.name.ends_with("/");
        char row[64];
        std::snprintf(row, sizeof row, "%s  0 0      0     %10zu Jan  1  2025 ",
                      folder ? "drwxr-xr-x" : "-rw-r--r--", entry.content.size());
        writeStdout(row + entry.name + "\n");
    }
    return status;
}

int unpack(const CommandLine& line) {
    const std::string bytes = readAll(utf8Path(line.archive));
    const fs::path into = utf8Path(line.folder);
    std::vector<Entry> entries;
    if (!readEntries(bytes, entries)) return 1;
    int status = 0;
    for (const Entry& entry : chosen(entries, line, status)) {
        const std::string& name = entry.name;
        const std::uint32_t method = entry.method;
        if (!safeName(name)) {
            writeStderr("tar.exe: " + name + ": Path contains '..' or is absolute\n");
            status = 1;
            continue;
        }
        if (method != 0) {
            writeStderr("tar.exe: " + name + ": this stand-in unpacks stored entries only\n");
            status = 1;
            continue;
        }
        const fs::path target = into / utf8Path(name);
        std::error_code failed;
        if (name.back() == '/') {
            fs::create_directories(target, failed);
            continue;
        }
        fs::create_directories(target.parent_path(), failed);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        std::string_view content = entry.content;
        if (environmentValue("FAKE_TAR_CUT") && name.ends_with(".utoc"))
            content = content.substr(0, 1);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) {
            writeStderr("tar.exe: " + name + ": Can't create\n");
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!parse(programArguments(argc, argv), line)) {
        writeStderr(
            "usage: tar.exe -a -c -f ARCHIVE -C FOLDER NAME... | -t -v -f ARCHIVE "
            "[NAME...] | -x -f ARCHIVE -C FOLDER [NAME...]\n");
        return 2;
    }
    if (line.mode == 'c') return pack(line);
    return line.mode == 't' ? list(line) : unpack(line);
}
