#include "test_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

#ifdef _WIN32
const char PathSeparator = '\\';
#else
const char PathSeparator = '/';
#endif

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() /
                      ("veltrane-test-" + std::to_string(stamp) + "-" +
                       std::to_string(counter++));
    fs::create_directories(folder);
    path_ = folder.string();
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::File(const std::string &name) const
{
    return path_ + PathSeparator + name;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string ReadBytes(const std::string &path, bool *exists)
{
    std::ifstream in(path, std::ios::binary);
    if (exists)
        *exists = in.is_open();
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool FileExists(const std::string &path)
{
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

std::map<std::string, std::string> FilesIn(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadBytes(entry.path().string());
    }
    return files;
}

std::string Visible(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char hex[8];
                snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += (char)c;
            }
        }
    }
    return out;
}
