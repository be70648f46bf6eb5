// setup's low-level files over KERNEL32 under Wine: the causes that the line files tell
// apart, and the open modes they use.
#include <gtest/gtest.h>
#include <windows.h>

#include <errno.h>
#include <fcntl.h>

#include <string>

#include "shell/files.h"

namespace {

class Files : public ::testing::Test {
protected:
    std::string folder;

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "files-test";
        CreateDirectoryA(folder.c_str(), NULL);
    }
    void TearDown() override
    {
        for (const char *name : {"\\text", "\\held"})
            DeleteFileA((folder + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

TEST_F(Files, FailuresGiveTheRuntimesCause)
{
    HANDLE held = CreateFileA((folder + "\\held").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    struct Case {
        std::string path;
        int flags;
        int cause;
    } cases[] = {
        {folder + "\\missing", O_RDONLY, ENOENT},
        {folder + "\\missing", O_RDWR | O_TRUNC, ENOENT},
        {folder + "\\no-folder\\x.ini", O_RDWR | O_CREAT | O_TRUNC, ENOENT},
        {folder, O_RDONLY, EACCES},
        {folder, O_RDWR | O_CREAT | O_TRUNC, EACCES},
        {folder + "\\held", O_RDONLY, EACCES},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(-1, FileOpen(c.path.c_str(), c.flags)) << c.path;
        EXPECT_EQ(c.cause, LastFileError()) << c.path << " flags " << c.flags;
    }
    CloseHandle(held);
}

TEST_F(Files, WritesReadsAndEmptiesInPlace)
{
    std::string path = folder + "\\text";
    int writer = FileOpen(path.c_str(), O_RDWR | O_CREAT | O_TRUNC);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(6, FileWrite(writer, "first\n", 6));
    EXPECT_EQ(0, FileClose(writer));
    EXPECT_EQ(-1, FileClose(writer));
    EXPECT_EQ(EBADF, LastFileError());

    writer = FileOpen(path.c_str(), O_RDWR | O_TRUNC);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(2, FileWrite(writer, "2\n", 2));
    int reader = FileOpen(path.c_str(), O_RDONLY);  // shared with the writer
    ASSERT_GE(reader, 0);
    ASSERT_NE(reader, writer);
    char buffer[16];
    EXPECT_EQ(2, FileRead(reader, buffer, sizeof buffer));
    EXPECT_EQ(0, FileRead(reader, buffer, sizeof buffer));
    FileClose(reader);
    FileClose(writer);
}

TEST(CurrentDirectory, TooSmallBufferFailsWithErange)
{
    char whole[MAX_PATH];
    ASSERT_EQ(0, ReadCurrentDirectory(whole, sizeof whole));
    EXPECT_EQ(GetCurrentDirectoryA(0, NULL) - 1, strlen(whole));
    char small[3];
    EXPECT_EQ(-1, ReadCurrentDirectory(small, sizeof small));
    EXPECT_EQ(ERANGE, LastFileError());
}

}  // namespace
