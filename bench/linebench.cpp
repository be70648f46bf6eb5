// linebench: the line reader and the start-file expansion on large inputs, built natively
// with optimisation and without sanitizers, for bench/run.sh. Every figure is a median of
// runs over files that are already in the page cache.
//
//   linebench lines FOLDER      the line reader over a 200 MiB file of 60-byte lines (made
//                               in FOLDER if missing), against a plain read-and-memchr loop
//                               over the same file, 11 rounds. Prints "reader-MB/s plain-MB/s
//                               ratio lines".
//   linebench template FOLDER   a 50,000-line start.ini (made in FOLDER) expanded into
//                               FOLDER/out, 5 rounds. Prints "milliseconds lines files".
//
// Exit codes: 0 measured; 1 a file could not be made or read, or the results disagree;
// 2 bad usage.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/linefile.h"
#include "config/startfile.h"

namespace {

enum { Rounds = 5, LineRounds = 11, LineBytes = 60, TemplateLines = 50000, TemplateFiles = 50 };
const long FileBytes = 200L << 20;

double Seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file)
        written = fclose(file) == 0 && written;
    return written;
}

// 58 characters and CR LF, as a Windows text file has them.
bool MakeLinesFile(const std::string &path)
{
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && existing.st_size == FileBytes / LineBytes * LineBytes)
        return true;
    std::string block;
    char line[LineBytes + 1];
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    for (long n = 0; n < FileBytes / LineBytes; n++) {
        snprintf(line, sizeof line, "entry%08ld=%-44.44s\r\n", n,
                 "C:\\VELTRANE\\LIBRARY\\STANDARD.LIB,CONNECT.LIB,1");
        block.append(line, LineBytes);
        if (block.size() >= (1 << 20)) {
            fwrite(block.data(), 1, block.size(), file);
            block.clear();
        }
    }
    fwrite(block.data(), 1, block.size(), file);
    return fclose(file) == 0;
}

long ReadWithLineReader(const std::string &path)
{
    int reader = LineFileOpenRead(path.c_str());
    if (reader < 0)
        return -1;
    char line[LineFileLineBuffer];
    long lines = 0;
    while (LineFileReadLine(reader, line) >= 0)
        lines++;
    LineFileCloseRead(reader);
    return lines;
}

long ReadWithMemchr(const std::string &path)
{
    static char buffer[LineFileBufferSize];
    int handle = open(path.c_str(), O_RDONLY);
    if (handle < 0)
        return -1;
    long lines = 0;
    ssize_t got;
    while ((got = read(handle, buffer, sizeof buffer)) > 0) {
        const char *at = buffer;
        const char *end = buffer + got;
        while ((at = (const char *)memchr(at, '\n', end - at)) != NULL) {
            lines++;
            at++;
        }
    }
    close(handle);
    return lines;
}

int BenchLines(const std::string &folder)
{
    std::string path = folder + "/lines.txt";
    if (!MakeLinesFile(path)) {
        fprintf(stderr, "linebench: cannot make %s\n", path.c_str());
        return 1;
    }
    ReadWithMemchr(path);  // into the page cache
    // The two loops take turns, and the ratio is taken per round, so that a slower or busier
    // moment of the machine weighs on both alike.
    double megabytes = (double)(FileBytes / LineBytes * LineBytes) / 1e6;
    std::vector<double> reader, plain, ratio;
    long readerLines = 0, plainLines = 0;
    for (int round = 0; round < LineRounds; round++) {
        double start = Seconds();
        readerLines = ReadWithLineReader(path);
        double middle = Seconds();
        plainLines = ReadWithMemchr(path);
        double end = Seconds();
        reader.push_back(megabytes / (middle - start));
        plain.push_back(megabytes / (end - middle));
        ratio.push_back((end - middle) / (middle - start));
    }
    if (readerLines != plainLines || readerLines != FileBytes / LineBytes) {
        fprintf(stderr, "linebench: %ld lines read, %ld counted, %ld written\n", readerLines,
                plainLines, FileBytes / LineBytes);
        return 1;
    }
    printf("%.0f %.0f %.3f %ld\n", Median(reader), Median(plain), Median(ratio), readerLines);
    return 0;
}

// A template as a suite would have it: per file a few path lines among key=value lines and
// the odd empty line.
std::string MakeTemplate()
{
    std::string text;
    char line[128];
    int perFile = TemplateLines / TemplateFiles;
    for (int file = 0; file < TemplateFiles; file++) {
        snprintf(line, sizeof line, ":%%path%%/config%02d.ini\r\n", file);
        text += line;
        for (int n = 1; n < perFile; n++) {
            if (n % 5 == 0)
                snprintf(line, sizeof line, "%%path%%/library/part%04d.lib\r\n", n);
            else if (n % 17 == 0)
                snprintf(line, sizeof line, "\r\n");
            else
                snprintf(line, sizeof line, "Setting%04d=value %d of section %d\r\n", n, n * 7,
                         file);
            text += line;
        }
    }
    return text;
}

int BenchTemplate(const std::string &folder)
{
    // The expansion joins the source folder and "\start.ini"; here that is one file name.
    std::string source = folder + "/s";
    std::string install = folder + "/out";
    std::string text = MakeTemplate();
    mkdir(install.c_str(), 0777);
    if (!WriteFile(source + "\\start.ini", text)) {
        fprintf(stderr, "linebench: cannot write the template\n");
        return 1;
    }
    long lines = std::count(text.begin(), text.end(), '\n');
    std::vector<double> times;
    for (int round = 0; round < Rounds; round++) {
        double start = Seconds();
        if (ExpandStartFile(source.c_str(), install.c_str()) != 0) {
            fprintf(stderr, "linebench: the expansion failed\n");
            return 1;
        }
        times.push_back(Seconds() - start);
    }
    struct stat generated;
    if (stat((install + "/config49.ini").c_str(), &generated) != 0 || generated.st_size == 0) {
        fprintf(stderr, "linebench: the expansion generated nothing\n");
        return 1;
    }
    printf("%.1f %ld %d\n", Median(times) * 1000, lines, (int)TemplateFiles);
    return 0;
}

}  // namespace

int main(int count, char **arguments)
{
    if (count == 3 && !strcmp(arguments[1], "lines"))
        return BenchLines(arguments[2]);
    if (count == 3 && !strcmp(arguments[1], "template"))
        return BenchTemplate(arguments[2]);
    fprintf(stderr, "usage: linebench lines FOLDER | template FOLDER\n");
    return 2;
}
