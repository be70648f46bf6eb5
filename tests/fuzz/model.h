// What the line file and the start-file expansion are documented to do, written as plainly
// as possible, for inputs shorter than one read block. The fuzz targets compare the real
// code with it.
#ifndef VELTRANE_TESTS_FUZZ_MODEL_H
#define VELTRANE_TESTS_FUZZ_MODEL_H

#include <map>
#include <string>
#include <vector>

struct ModelRead {
    std::vector<std::string> lines;
    int mode;  // line-end mode afterwards
};

// Lines of `bytes` as the reader returns them, starting from line-end mode `mode`.
inline ModelRead ModelReadLines(const std::string &bytes, int mode)
{
    int cr = 0, lf = 0;
    for (size_t i = 0; i < bytes.size() && i < 1024; i++) {
        cr += bytes[i] == '\r';
        lf += bytes[i] == '\n';
    }
    char separator = '\n';
    if (!bytes.empty()) {
        if (cr == 0)
            mode = 1;
        else if (lf == 0) {
            mode = 2;
            separator = '\r';
        }
    }
    ModelRead read{{}, mode};
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find(separator, start);
        std::string line = bytes.substr(start, (end == std::string::npos ? bytes.size() : end) - start);
        line = line.substr(0, 190);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        read.lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
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
// every output file can be opened.
inline std::map<std::string, std::string> ModelExpand(const std::string &templateBytes,
                                                      const std::string &installDir)
{
    std::map<std::string, std::string> files;
    std::string current;
    bool started = false;
    for (const std::string &read : ModelReadLines(templateBytes, 0).lines) {
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
