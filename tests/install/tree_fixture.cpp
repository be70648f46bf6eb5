#include "tree_fixture.h"

#include <algorithm>
#include <stdio.h>

#include <gtest/gtest.h>

std::string MakeRootFolder(const char *tag)
{
    static int counter;
    char path[MAX_PATH];

    snprintf(path, sizeof path, "C:\\%s%d", tag, ++counter);
    RemoveTree(path);
    EXPECT_TRUE(CreateDirectoryA(path, NULL)) << path << " error " << GetLastError();
    return path;
}

// Wide paths with the "\\?\" prefix reach below the 260-character limit of the A calls,
// where long install paths put files.
static std::wstring LongPath(const std::string &path)
{
    std::wstring wide(path.size(), L'\0');
    for (size_t i = 0; i < path.size(); i++)
        wide[i] = (unsigned char)path[i];
    return L"\\\\?\\" + wide;
}

static std::string Narrow(const wchar_t *text)
{
    std::string narrow;
    for (; *text; text++)
        narrow += (char)*text;
    return narrow;
}

void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW((LongPath(path) + L"\\*").c_str(), &entry);

    if (listing != INVALID_HANDLE_VALUE) {
        do {
            std::string name = Narrow(entry.cFileName);
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesW(LongPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(LongPath(child).c_str());
        } while (FindNextFileW(listing, &entry));
        FindClose(listing);
    }
    SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(LongPath(path).c_str());
}

void MakeFolder(const std::string &path, DWORD attributes)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << path << " error " << GetLastError();
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY))
            << path;
    }
}

void MakeFile(const std::string &path, int size, int seed, DWORD attributes)
{
    std::string bytes(size, '\0');
    for (int i = 0; i < size; i++)
        bytes[i] = (char)(i * 7 + seed);
    MakeFileWithText(path, bytes);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    }
}

void MakeFileWithText(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path << " error " << GetLastError();
    DWORD written = 0;
    if (!text.empty())
        WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(file);
    ASSERT_EQ(text.size(), written) << path;
}

std::string ReadWholeFile(const std::string &path)
{
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    return text;
}

DWORD AttributesOf(const std::string &path)
{
    return GetFileAttributesA(path.c_str());
}

std::vector<std::string> ListingOrder(const std::string &directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((directory + "\\*.*").c_str(), &entry);

    if (listing == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return names;
}

std::vector<std::string> InListingOrder(const std::string &directory,
                                        const std::vector<std::string> &names)
{
    std::vector<std::string> ordered;
    for (const std::string &listed : ListingOrder(directory))
        if (std::find(names.begin(), names.end(), listed) != names.end())
            ordered.push_back(listed);
    return ordered;
}

static void Describe(const std::string &root, const std::string &relative,
                     std::vector<std::string> *lines, bool contents)
{
    std::string here = relative.empty() ? root : root + "\\" + relative;
    for (const std::string &name : ListingOrder(here)) {
        std::string child = relative.empty() ? name : relative + "\\" + name;
        std::string full = root + "\\" + child;
        if (AttributesOf(full) & FILE_ATTRIBUTE_DIRECTORY) {
            lines->push_back(child + "\\");
            Describe(root, child, lines, contents);
        } else if (contents) {
            lines->push_back(child + "=" + ReadWholeFile(full));
        } else {
            lines->push_back(child + "=" + std::to_string(ReadWholeFile(full).size()));
        }
    }
}

std::vector<std::string> DescribeTree(const std::string &root)
{
    std::vector<std::string> lines;
    Describe(root, "", &lines, false);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> TreeContents(const std::string &root)
{
    std::vector<std::string> lines;
    Describe(root, "", &lines, true);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}
