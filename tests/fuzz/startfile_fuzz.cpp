// Fuzzes the start-file expansion: any template must generate exactly the files of the
// model. Slashes in the input become underscores, so that every output file stays in the
// scratch folder: the install directory is "<folder>/o", and what follows a file marker is
// glued to it.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <string>

#include "config/linefile.h"
#include "config/startfile.h"
#include "model.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &folder = FuzzScratchFolder();
    std::string templateBytes((const char *)data, size);
    for (char &c : templateBytes)
        if (c == '/')
            c = '_';
    std::string source = folder + "/s";
    std::string templateName = "s\\start.ini";
    std::string install = folder + "/o";
    WriteWholeFile(folder + "/" + templateName, templateBytes);

    if (ExpandStartFile(source.c_str(), install.c_str()) != 0) {
        fprintf(stderr, "the expansion failed\n");
        abort();
    }
    std::map<std::string, std::string> expected =
        ModelExpand(templateBytes, install, LineFileBufferSize);
    std::map<std::string, std::string> got;
    for (const std::string &name : FilesInFolder(folder)) {
        if (name == templateName)
            continue;
        std::string path = folder + "/" + name;
        got[path] = ReadWholeFile(path);
        unlink(path.c_str());
    }
    if (got != expected) {
        fprintf(stderr, "generated files differ: expected %zu files, got %zu\n",
                expected.size(), got.size());
        for (const auto &[path, bytes] : expected)
            fprintf(stderr, "expected %s: %zu bytes\n", path.c_str(), bytes.size());
        for (const auto &[path, bytes] : got)
            fprintf(stderr, "got %s: %zu bytes\n", path.c_str(), bytes.size());
        abort();
    }
    // The expansion must leave no reader open behind it.
    int reader = LineFileOpenRead((folder + "/" + templateName).c_str());
    if (reader < 0) {
        fprintf(stderr, "the template stayed open: %d\n", reader);
        abort();
    }
    LineFileCloseRead(reader);
    return 0;
}
