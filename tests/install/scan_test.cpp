// The source tree scan on real trees under Wine: the order of the list, what is left out,
// the sizes from the listing, and every limit of the list and the scan's buffers crossed by one.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/scan.h"
#include "shell/state.h"
#include "tree_fixture.h"

// The scan's only window traffic: counted here, one call per directory listed.
static int PumpCalls;
void PumpMessages(void)
{
    PumpCalls++;
}

namespace {

std::string Entry(const std::string &path, int size)
{
    return path + " = " + std::to_string(size);
}

std::vector<std::string> Listed(int from = 0)
{
    std::vector<std::string> entries;
    for (int i = from; i < FileCount; i++)
        entries.push_back(Entry(FilePaths[i], FileSizes[i]));
    return entries;
}

class Scan : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileCount = 0;
        FileListOverflowPath[0] = '\0';
        PumpCalls = 0;
    }
    void TearDown() override
    {
        for (const std::string &root : roots)
            RemoveTree(root);
    }
    std::string Root(const char *tag)
    {
        roots.push_back(MakeRootFolder(tag));
        return roots.back();
    }
    std::vector<std::string> roots;
};

TEST_F(Scan, DirectoriesFirstThenTheirContentsThenTheFiles)
{
    std::string r = Root("order");
    MakeFolder(r + "\\A");
    MakeFolder(r + "\\B");
    MakeFolder(r + "\\A\\X");
    MakeFile(r + "\\A\\X\\x", 3);
    MakeFile(r + "\\A\\a", 10);
    MakeFile(r + "\\B\\b", 0);
    MakeFile(r + "\\r1", 1);
    MakeFile(r + "\\r2", 4096);

    // Within a directory the list keeps the file system's order, whatever it is.
    std::vector<std::string> expected;
    std::vector<std::string> dirs = InListingOrder(r, {"A", "B"});
    for (const std::string &d : dirs)
        expected.push_back(Entry(r + "\\" + d + "\\", 0));
    for (const std::string &d : dirs) {
        if (d == "A") {
            expected.push_back(Entry(r + "\\A\\X\\", 0));
            expected.push_back(Entry(r + "\\A\\X\\x", 3));
            expected.push_back(Entry(r + "\\A\\a", 10));
        } else {
            expected.push_back(Entry(r + "\\B\\b", 0));
        }
    }
    for (const std::string &f : InListingOrder(r, {"r1", "r2"}))
        expected.push_back(Entry(r + "\\" + f, f == "r1" ? 1 : 4096));

    EXPECT_EQ(0, ScanTree(r.c_str()));
    EXPECT_EQ(expected, Listed());
    EXPECT_EQ(4, PumpCalls) << "one pump per directory: R, A, X, B";
    EXPECT_STREQ("", FileListOverflowPath);
}

TEST_F(Scan, FilesOfADirectoryComeAfterEverythingInItsSubDirectories)
{
    std::string r = Root("deep");
    std::string path = r;
    for (int level = 0; level < 5; level++) {
        MakeFile(path + "\\f", level + 1);
        path += "\\d";
        MakeFolder(path);
    }
    ScanTree(r.c_str());

    std::vector<std::string> expected;
    std::string dir = r;
    for (int level = 0; level < 5; level++) {
        dir += "\\d";
        expected.push_back(Entry(dir + "\\", 0));
    }
    for (int level = 4; level >= 0; level--) {
        expected.push_back(Entry(dir.substr(0, dir.size() - 2) + "\\f", level + 1));
        dir = dir.substr(0, dir.size() - 2);
    }
    EXPECT_EQ(expected, Listed());
    EXPECT_EQ(6, PumpCalls);
}

TEST_F(Scan, HiddenAndSystemLeftOutReadOnlyAndArchiveEntered)
{
    std::string r = Root("attr");
    MakeFile(r + "\\hidden.txt", 1, 0, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(r + "\\system.txt", 2, 0, FILE_ATTRIBUTE_SYSTEM);
    MakeFile(r + "\\both.txt", 3, 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeFile(r + "\\readonly.txt", 4, 0, FILE_ATTRIBUTE_READONLY);
    MakeFile(r + "\\archive.txt", 5, 0, FILE_ATTRIBUTE_ARCHIVE);
    MakeFolder(r + "\\HiddenDir", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(r + "\\HiddenDir\\inner.txt", 6);
    MakeFolder(r + "\\SystemDir", FILE_ATTRIBUTE_SYSTEM);
    MakeFile(r + "\\SystemDir\\inner.txt", 7);
    MakeFolder(r + "\\ReadOnlyDir", FILE_ATTRIBUTE_READONLY);
    MakeFile(r + "\\ReadOnlyDir\\inner.txt", 8);
    MakeFolder(r + "\\ArchiveDir", FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(AttributesOf(r + "\\hidden.txt") & FILE_ATTRIBUTE_HIDDEN)
        << "this file system keeps no hidden bit";

    ScanTree(r.c_str());
    std::vector<std::string> listed = Listed();
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = {
        Entry(r + "\\ArchiveDir\\", 0), Entry(r + "\\ReadOnlyDir\\", 0),
        Entry(r + "\\ReadOnlyDir\\inner.txt", 8), Entry(r + "\\archive.txt", 5),
        Entry(r + "\\readonly.txt", 4)};
    EXPECT_EQ(expected, listed);
    EXPECT_EQ(3, PumpCalls) << "hidden and system directories are not listed";
}

TEST_F(Scan, EmptyDirectoryAndEmptyFileAreEntered)
{
    std::string r = Root("empty");
    MakeFolder(r + "\\Empty");
    MakeFile(r + "\\e.txt", 0);
    ScanTree(r.c_str());
    EXPECT_EQ((std::vector<std::string>{Entry(r + "\\Empty\\", 0), Entry(r + "\\e.txt", 0)}),
              Listed());
    EXPECT_EQ(2, PumpCalls);
}

TEST_F(Scan, NothingForAnEmptyOrMissingDirectory)
{
    const struct {
        const char *what;
        bool exists;
    } cases[] = {{"empty directory", true}, {"missing directory", false}};
    for (const auto &c : cases) {
        std::string r = Root("none");
        if (!c.exists)
            RemoveTree(r);
        FileCount = 0;
        PumpCalls = 0;
        EXPECT_EQ(0, ScanTree(r.c_str())) << c.what;
        EXPECT_EQ(0, FileCount) << c.what;
        EXPECT_EQ(1, PumpCalls) << c.what << ": the pump still runs between the passes";
        EXPECT_STREQ("", FileListOverflowPath) << c.what;
    }
}

TEST_F(Scan, SecondScanAppendsAfterTheFirst)
{
    std::string first = Root("one");
    std::string second = Root("two");
    MakeFile(first + "\\f1", 11);
    MakeFolder(second + "\\D");
    MakeFile(second + "\\f2", 22);

    ScanTree(first.c_str());
    ScanTree(second.c_str());
    EXPECT_EQ((std::vector<std::string>{Entry(first + "\\f1", 11), Entry(second + "\\D\\", 0),
                                        Entry(second + "\\f2", 22)}),
              Listed());
}

// A file of `size` bytes that takes no room on disk (no data written).
void MakeSparseFile(const std::string &path, LONGLONG size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    LARGE_INTEGER end;
    end.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, end, NULL, FILE_BEGIN) && SetEndOfFile(file)) << path;
    CloseHandle(file);
}

// Sizes come from the listing, so a file nobody may open is entered with its size too; the
// 32 bits of the list hold files below 2 GiB, and a larger one is marked too large.
TEST_F(Scan, SizesFromTheListingTooLargeOnesMarked)
{
    std::string r = Root("size");
    const struct {
        const char *name;
        LONGLONG size;
        int listed;
    } cases[] = {
        {"s0", 0, 0},
        {"s1", 1, 1},
        {"s70000", 70000, 70000},
        {"s2g-1", 0x7fffffffLL, 0x7fffffff},
        {"s2g", 0x80000000LL, SizeTooLarge},
        {"s4g", 0x100000000LL, SizeTooLarge},
        {"s4g+5", 0x100000005LL, SizeTooLarge},
    };
    std::vector<std::string> expected;
    for (const auto &c : cases) {
        MakeSparseFile(r + "\\" + c.name, c.size);
        expected.push_back(Entry(r + "\\" + c.name, c.listed));
    }
    MakeFile(r + "\\locked", 45);
    expected.push_back(Entry(r + "\\locked", 45));
    std::sort(expected.begin(), expected.end());
    HANDLE locked = CreateFileA((r + "\\locked").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);

    ScanTree(r.c_str());
    CloseHandle(locked);
    std::vector<std::string> listed = Listed();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(expected, listed);
}

// The limits. Whatever crosses one is recorded (the first such path only) and left out;
// nothing is written past the list or the scan's buffers.
class ScanLimits : public Scan {
protected:
    void ExpectListWithinStorage()
    {
        ASSERT_LE(FileCount, MaxFileCount);
        for (int i = 0; i < FileCount; i++)
            ASSERT_LT(strlen(FilePaths[i]), (size_t)FileListPathSize) << "entry " << i;
        ASSERT_LT(strlen(FileListOverflowPath), sizeof FileListOverflowPath);
    }
};

TEST_F(ScanLimits, FullListRecordsTheFirstFileThatFoundNoSlot)
{
    std::string r = Root("full");
    MakeFile(r + "\\f1", 1);
    MakeFile(r + "\\f2", 2);
    MakeFile(r + "\\f3", 3);
    std::vector<std::string> order = ListingOrder(r);
    FileCount = MaxFileCount - 2;
    strcpy(FilePaths[MaxFileCount - 3], "earlier entry");
    FileSizes[MaxFileCount - 3] = 77;

    ScanTree(r.c_str());
    ExpectListWithinStorage();
    EXPECT_EQ(MaxFileCount, FileCount);
    EXPECT_EQ((std::vector<std::string>{Entry("earlier entry", 77),
                                        Entry(r + "\\" + order[0], order[0][1] - '0'),
                                        Entry(r + "\\" + order[1], order[1][1] - '0')}),
              Listed(MaxFileCount - 3));
    EXPECT_EQ(r + "\\" + order[2], FileListOverflowPath);
}

TEST_F(ScanLimits, FullListRecordsADirectoryBeforeWhatLiesBelowIt)
{
    std::string r = Root("fulld");
    MakeFolder(r + "\\D1");
    MakeFolder(r + "\\D2");
    MakeFile(r + "\\D1\\inner", 1);
    MakeFile(r + "\\D2\\inner", 1);
    std::vector<std::string> order = ListingOrder(r);
    FileCount = MaxFileCount - 1;

    ScanTree(r.c_str());
    ExpectListWithinStorage();
    EXPECT_EQ(MaxFileCount, FileCount);
    EXPECT_EQ(r + "\\" + order[0] + "\\", FilePaths[MaxFileCount - 1]);
    EXPECT_EQ(r + "\\" + order[1] + "\\", FileListOverflowPath);
}

TEST_F(ScanLimits, ListPathsUpTo127Characters)
{
    const struct {
        bool directory;
        size_t length;  // of the list path, a directory's trailing backslash included
        bool fits;
    } cases[] = {{false, 127, true}, {false, 128, false}, {true, 127, true}, {true, 128, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.directory ? "directory" : "file") << " path of "
                                        << c.length);
        SetUp();
        std::string r = Root("len");
        // Sub-directory names hold 63 characters, so the long path goes two levels down.
        std::string parent = r + "\\" + Repeat('p', 60);
        MakeFolder(parent);
        std::string path = parent + "\\" +
                           Repeat('n', c.length - parent.size() - 1 - (c.directory ? 1 : 0));
        if (c.directory)
            MakeFolder(path);
        else
            MakeFile(path, 9);
        std::string listPath = path + (c.directory ? "\\" : "");
        ASSERT_EQ(c.length, listPath.size());

        ScanTree(r.c_str());
        ExpectListWithinStorage();
        if (c.fits) {
            EXPECT_EQ(2, FileCount);
            EXPECT_EQ(listPath, FilePaths[1]);
            EXPECT_STREQ("", FileListOverflowPath);
        } else {
            EXPECT_EQ(1, FileCount) << "only the parent";
            EXPECT_EQ(listPath, FileListOverflowPath);
        }
    }
}

TEST_F(ScanLimits, AtMost128SubDirectoriesPerDirectory)
{
    for (int count : {128, 129}) {
        SCOPED_TRACE(testing::Message() << count << " sub-directories");
        SetUp();
        std::string r = Root("subs");
        char name[16];
        for (int i = 0; i < count; i++) {
            snprintf(name, sizeof name, "\\d%03d", i);
            MakeFolder(r + name);
            MakeFile(r + name + "\\f", 1);
        }
        std::vector<std::string> order = ListingOrder(r);

        ScanTree(r.c_str());
        ExpectListWithinStorage();
        EXPECT_EQ(2 * 128, FileCount) << "each entered directory and its file";
        EXPECT_EQ(1 + 128, PumpCalls) << "the one left over is not listed";
        if (count == 128)
            EXPECT_STREQ("", FileListOverflowPath);
        else
            EXPECT_EQ(r + "\\" + order.back() + "\\", FileListOverflowPath);
    }
}

TEST_F(ScanLimits, SubDirectoryNamesUpTo63Characters)
{
    for (size_t length : {63, 64}) {
        SCOPED_TRACE(testing::Message() << "name of " << length);
        SetUp();
        std::string r = Root("name");
        std::string sub = r + "\\" + Repeat('s', length);
        MakeFolder(sub);
        MakeFile(sub + "\\f", 1);

        ScanTree(r.c_str());
        ExpectListWithinStorage();
        if (length == 63) {
            EXPECT_EQ((std::vector<std::string>{Entry(sub + "\\", 0), Entry(sub + "\\f", 1)}),
                      Listed());
            EXPECT_STREQ("", FileListOverflowPath);
        } else {
            EXPECT_EQ(0, FileCount) << "neither listed nor entered";
            EXPECT_EQ(sub + "\\", FileListOverflowPath);
        }
    }
}

TEST_F(ScanLimits, SearchPatternUpTo199Characters)
{
    // "<directory>\*.*": a directory of 195 characters still gives a pattern that fits.
    std::string fits = "C:\\" + Repeat('d', 192);
    std::string tooLong = "C:\\" + Repeat('d', 193);
    ScanTree(fits.c_str());
    EXPECT_STREQ("", FileListOverflowPath);
    EXPECT_EQ(0, FileCount);

    ScanTree(tooLong.c_str());
    EXPECT_EQ(tooLong + "\\", FileListOverflowPath);
    EXPECT_EQ(0, FileCount);
}

TEST_F(ScanLimits, RecordedPathIsCutToItsBuffer)
{
    std::string r = Root("cut");
    std::string path = r + "\\" + Repeat('c', 240);
    MakeFile(path, 1);
    ScanTree(r.c_str());
    ExpectListWithinStorage();
    EXPECT_EQ(0, FileCount);
    EXPECT_EQ(path.substr(0, sizeof FileListOverflowPath - 1), FileListOverflowPath);
}

TEST_F(ScanLimits, OnlyTheFirstPathThatDidNotFitIsKept)
{
    std::string r = Root("first");
    MakeFile(r + "\\" + Repeat('a', 130), 1);
    MakeFile(r + "\\" + Repeat('b', 130), 1);
    MakeFile(r + "\\small", 1);
    std::vector<std::string> order = InListingOrder(r, {Repeat('a', 130), Repeat('b', 130)});

    ScanTree(r.c_str());
    EXPECT_EQ(r + "\\" + order[0], FileListOverflowPath);
    EXPECT_EQ((std::vector<std::string>{Entry(r + "\\small", 1)}), Listed())
        << "what fits is still listed";
}

} // namespace
