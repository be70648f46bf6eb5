// Scratch files for the configuration tests: a fresh folder per test, whole files written
// and read back as bytes.
#ifndef VELTRANE_TESTS_CONFIG_TEST_FILES_H
#define VELTRANE_TESTS_CONFIG_TEST_FILES_H

#include <map>
#include <string>

// A folder of its own below the system's temporary folder; removed with everything in it
// when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::string &Path() const { return path_; }
    // The path of `name` inside the folder, joined with the platform's separator.
    std::string File(const std::string &name) const;

private:
    std::string path_;
};

extern const char PathSeparator;

void WriteBytes(const std::string &path, const std::string &bytes);
// The whole file; `exists` (if given) tells whether it could be opened at all.
std::string ReadBytes(const std::string &path, bool *exists = nullptr);
bool FileExists(const std::string &path);
// Every plain file directly in `folder`, by name, with its bytes.
std::map<std::string, std::string> FilesIn(const std::string &folder);
// Makes bytes readable in a failure message: CR, LF, tab and others escaped.
std::string Visible(const std::string &bytes);

#endif
