// Real directory trees for the scan and copy tests, made on the prefix's C: drive.
#ifndef VELTRANE_TESTS_TREE_FIXTURE_H
#define VELTRANE_TESTS_TREE_FIXTURE_H

#include <windows.h>

#include <string>
#include <vector>

// A fresh, empty folder C:\<tag><n> (short, so that path limits can be reached exactly).
std::string MakeRootFolder(const char *tag);
// Deletes a folder and everything below it, read-only and hidden entries included.
void RemoveTree(const std::string &path);

void MakeFolder(const std::string &path, DWORD attributes = 0);
// A file of `size` bytes of a pattern that depends on `seed`.
void MakeFile(const std::string &path, int size, int seed = 0, DWORD attributes = 0);
void MakeFileWithText(const std::string &path, const std::string &text);
std::string ReadWholeFile(const std::string &path);
DWORD AttributesOf(const std::string &path);

// Names in `directory` in the order in which the file system lists them, "." and ".."
// left out.
std::vector<std::string> ListingOrder(const std::string &directory);
// `names` rearranged into the listing order of `directory`.
std::vector<std::string> InListingOrder(const std::string &directory,
                                        const std::vector<std::string> &names);

// Every entry below `root` as "relative\" for folders and "relative=size" for files,
// sorted, so that two trees can be compared.
std::vector<std::string> DescribeTree(const std::string &root);
// The same with each file's bytes in place of its size, to tell a tree byte for byte.
std::vector<std::string> TreeContents(const std::string &root);

std::string Repeat(char c, size_t count);

#endif
