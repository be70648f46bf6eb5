// A private folder for one fuzzing process, removed when it exits, and whole-file helpers.
#ifndef VELTRANE_TESTS_FUZZ_SCRATCH_H
#define VELTRANE_TESTS_FUZZ_SCRATCH_H

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

inline std::vector<std::string> FilesInFolder(const std::string &folder)
{
    std::vector<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

inline void RemoveScratchFolder();

inline const std::string &FuzzScratchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        // TMPDIR lets a long run keep its files on a memory file system.
        const char *base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/veltrane-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) {
            perror(pattern.c_str());
            abort();
        }
        folder = name.data();
        atexit(RemoveScratchFolder);
    }
    return folder;
}

inline void RemoveScratchFolder()
{
    const std::string &folder = FuzzScratchFolder();
    for (const std::string &name : FilesInFolder(folder))
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}

inline void WriteWholeFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        abort();
    fclose(file);
}

inline std::string ReadWholeFile(const std::string &path)
{
    std::string bytes;
    if (FILE *file = fopen(path.c_str(), "rb")) {
        char block[4096];
        size_t got;
        while ((got = fread(block, 1, sizeof block, file)) > 0)
            bytes.append(block, got);
        fclose(file);
    }
    return bytes;
}

#endif
