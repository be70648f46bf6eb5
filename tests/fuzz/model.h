// What the line file and the start-file expansion are documented to do, written as plainly
// as possible. The fuzz targets compare the real code with it.
#ifndef VELTRANE_TESTS_FUZZ_MODEL_H
#define VELTRANE_TESTS_FUZZ_MODEL_H

#include <map>
#include <string>
#include <vector>

struct ModelRead {
    std::vector<std::string> lines;
    int mode;  // line-end mode afterwards
};

inline std::string ModelTrim(std::string line)
{
    line = line.substr(0, 190);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// Lines of `bytes` as the reader returns them with a read buffer of `block` bytes, starting
// from line-end mode `mode`. The file arrives in whole blocks. While the first line is
// being read, the head (up to 1024 bytes) of every block it reaches is counted, and the
// counts so far decide the separator and the mode anew.
inline ModelRead ModelReadLines(const std::string &bytes, int mode, size_t block)
{
    ModelRead read{{}, mode};
    int cr = 0, lf = 0;
    char separator = '\n';
    std::string line;
    for (size_t start = 0; start < bytes.size(); start += block) {
        size_t end = start + block < bytes.size() ? start + block : bytes.size();
        if (read.lines.empty()) {
            for (size_t i = start; i < end && i < start + 1024; i++) {
                cr += bytes[i] == '\r';
                lf += bytes[i] == '\n';
            }
            separator = '\n';
            if (cr == 0)
                read.mode = 1;
            else if (lf == 0) {
                read.mode = 2;
                separator = '\r';
            }
        }
        for (size_t i = start; i < end; i++) {
            if (bytes[i] != separator) {
                line += bytes[i];
                continue;
            }
            read.lines.push_back(ModelTrim(line));
            line.clear();
        }
    }
    if (!line.empty())
        read.lines.push_back(ModelTrim(line));
    return read;
}

inline std::string CText(const std::string &line) { return line.substr(0, line.find('\0')); }

inline bool ModelMarker(const std::string &line, const std::string &marker)
{
    if (line.size() < marker.size())
        return false;
    for (size_t i = 0; i < marker.size(); i++) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != marker[i])
            return false;
    }
    return true;
}

// The files (by full path) that expanding `templateBytes` for `installDir` generates, when
// every output file can be opened, with a read buffer of `block` bytes.
inline std::map<std::string, std::string> ModelExpand(const std::string &templateBytes,
                                                      const std::string &installDir,
                                                      size_t block)
{
    std::map<std::string, std::string> files;
    std::string current;
    bool started = false;
    for (const std::string &read : ModelReadLines(templateBytes, 0, block).lines) {
        if (read.size() < 2 && !started)
            continue;
        started = true;
        std::string line = CText(read);
        if (!line.empty() && line[0] == ':') {
            if (ModelMarker(line, ":%path%")) {
                current = installDir + line.substr(7);
                files[current] = "";
            }
        } else if (!line.empty() && line[0] == '%') {
            if (ModelMarker(line, "%path%") && !current.empty())
                files[current] += installDir + line.substr(6) + "\r\n";
        } else if (!current.empty()) {
            files[current] += line + "\r\n";
        }
    }
    return files;
}

#endif
