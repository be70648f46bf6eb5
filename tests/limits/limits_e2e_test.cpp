// The limits of setup, each reached and crossed by one, on the real programs under Wine:
// the file list (3000 entries, 127-character paths, 128 sub-directories per folder, 63-
// character folder names), the current directory (149 characters), the install directory
// (99 characters) with the longest template lines, start command and name of a file it
// cannot write, and template lines beyond 190 characters, beyond a read block, or none.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "resource.h"
#include "setup_run.h"
#include "../install/tree_fixture.h"

namespace {

const char ConfigurationTemplate[] = ":%path%\\orvane.cfg\r\n%path%\r\n";
const char TooManyText[] = ": too many files or path too long";
const size_t ReadBlock = 262144;

// --- The file list ----------------------------------------------------------------------

// A source tree with every limit of the file list reached at once: 3000 entries in all, a
// folder of 128 sub-folders, a folder name of 63 characters and a list path of 127.
struct FullTree {
    std::string source;
    std::string wide;      // the folder with 128 sub-folders
    std::string longName;  // the folder with the 63-character name
    std::string longFile;  // the file whose list path has 127 characters
    int entries = 0;
};

void MakeFullTree(const std::string &source, FullTree *tree)
{
    tree->source = source;
    tree->wide = source + "\\wide";
    MakeFolder(tree->wide);
    char name[32];
    for (int i = 0; i < 128; i++) {
        snprintf(name, sizeof name, "\\w%03d", i);
        MakeFolder(tree->wide + name);
    }
    tree->longName = source + "\\" + Repeat('n', 63);
    MakeFolder(tree->longName);
    tree->longFile = tree->longName + "\\" + Repeat('f', 127 - tree->longName.size() - 1);
    MakeFile(tree->longFile, 127, 1);
    MakeFolder(source + "\\fill");
    // wide and its folders, the long folder and its file, fill, start.ini: 133 entries.
    for (int i = 0; i < 3000 - 133; i++) {
        snprintf(name, sizeof name, "\\fill\\%04d", i);
        MakeFile(source + name, 16 + i % 7, i);
    }
    tree->entries = (int)DescribeTree(source).size();
}

struct TreeCase {
    const char *name;
    // Crosses one limit; returns the path that must be named as the first that did not fit.
    std::string (*cross)(FullTree *tree);
    void (*undo)(FullTree *tree);
};

std::string OneEntryMore(FullTree *tree)
{
    MakeFile(tree->source + "\\fill\\extra", 5, 5);
    // Sub-folders are listed before the files of their parent, so the top folder's own file
    // comes last.
    return tree->source + "\\start.ini";
}
void DropEntryMore(FullTree *tree)
{
    DeleteFileA((tree->source + "\\fill\\extra").c_str());
}

std::string ListPathOf128(FullTree *tree)
{
    EXPECT_TRUE(MoveFileA(tree->longFile.c_str(), (tree->longFile + "x").c_str()));
    return tree->longFile + "x";
}
void ListPathBackTo127(FullTree *tree)
{
    MoveFileA((tree->longFile + "x").c_str(), tree->longFile.c_str());
}

std::string SubFolder129(FullTree *tree)
{
    MakeFolder(tree->wide + "\\w128");
    return tree->wide + "\\" + ListingOrder(tree->wide).back() + "\\";
}
void SubFoldersBackTo128(FullTree *tree)
{
    RemoveDirectoryA((tree->wide + "\\w128").c_str());
}

std::string FolderNameOf64(FullTree *tree)
{
    EXPECT_TRUE(MoveFileA(tree->longName.c_str(), (tree->longName + "n").c_str()));
    return tree->longName + "n\\";
}
void FolderNameBackTo63(FullTree *tree)
{
    MoveFileA((tree->longName + "n").c_str(), tree->longName.c_str());
}

TEST(LimitsE2E, FileListAtEveryLimitIsInstalledAndOneMoreIsRefusedWhole)
{
    SetupRun run;
    ASSERT_TRUE(run.Prepare("treelimits", "setup-copy.exe"));
    MakeFileWithText(run.source + "\\start.ini", ConfigurationTemplate);
    FullTree tree;
    MakeFullTree(run.source, &tree);
    ASSERT_EQ(3000, tree.entries);
    ASSERT_EQ(127u, tree.longFile.size());

    const TreeCase crossings[] = {
        {"3001 entries", OneEntryMore, DropEntryMore},
        {"a list path of 128 characters", ListPathOf128, ListPathBackTo127},
        {"129 sub-folders", SubFolder129, SubFoldersBackTo128},
        {"a folder name of 64 characters", FolderNameOf64, FolderNameBackTo63},
    };
    int number = 0;
    for (const TreeCase &c : crossings) {
        SCOPED_TRACE(c.name);
        std::string install = run.folder + "\\t" + std::to_string(++number);
        std::string refused = c.cross(&tree);
        KillProgram(&run.setup.program);
        ASSERT_TRUE(run.Start());
        ChooseInstallDirectory(run, install, false);
        std::vector<BoxSeen> boxes;
        EXPECT_FALSE(AnswerUntilCompleted(run, &boxes)) << "a completion page after the refusal";
        EXPECT_EQ(Describe({{"Error", "Can not install " + refused + TooManyText},
                            {"Error", NotInstalledText}}),
                  Describe(boxes));
        EXPECT_EQ(1, run.Exit());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install))
            << "the folder setup made for the refused tree stayed";
        c.undo(&tree);
        ASSERT_EQ(3000, (int)DescribeTree(run.source).size()) << "the tree was not restored";
    }

    std::string install = run.folder + "\\full";
    KillProgram(&run.setup.program);
    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, install, false);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page\n" << Describe(boxes);
    EXPECT_EQ("", Describe(boxes));
    EXPECT_EQ(0, FinishSetup(run, completed));
    std::vector<std::string> expected = DescribeTree(run.source);
    expected.push_back("orvane.cfg=" + std::to_string(install.size() + 2));
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> installed = DescribeTree(install);
    EXPECT_EQ(expected.size(), installed.size());
    EXPECT_TRUE(expected == installed) << "the tree at its limits arrived changed";
    std::string longTarget = install + tree.longFile.substr(run.source.size());
    EXPECT_EQ(ReadWholeFile(tree.longFile), ReadWholeFile(longTarget));
}

// --- The current directory --------------------------------------------------------------

// A folder C:\veltrane-e2e\<name>\ddd... of exactly `length` characters.
bool PrepareFolderOfLength(SetupRun &run, const char *name, size_t length, const char *program)
{
    size_t base = strlen("C:\\veltrane-e2e\\") + strlen(name) + 1;
    return run.Prepare(name, program, Repeat('d', length - base)) && run.folder.size() == length;
}

TEST(LimitsE2E, CurrentDirectoryOf149CharactersIsTakenAnd150IsRefused)
{
    const std::string tooLong = "The setup directory path is too long\n\n"
                                "Move the files to a shorter path and start installation again";
    for (size_t length : {149u, 150u}) {
        SCOPED_TRACE(testing::Message() << "current directory of " << length << " characters");
        SetupRun run;
        ASSERT_TRUE(PrepareFolderOfLength(run, ("cwd" + std::to_string(length)).c_str(), length,
                                          "setup.exe"));
        MakeFileWithText(run.folder + "\\start.ini", ConfigurationTemplate);
        ASSERT_TRUE(run.Start());
        if (length == 150) {
            HWND box = run.WaitBox("Error");
            ASSERT_TRUE(box) << "no message";
            EXPECT_EQ(tooLong, BoxText(box));
            EXPECT_FALSE(run.WaitPage(WelcomeCaption, 0)) << "a page came up";
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
            EXPECT_EQ(3, run.Exit()) << "setup's own folder was refused";
            EXPECT_EQ("brindle.exe inst.exe start.ini", FolderListing(run.folder)) << "something was written";
            continue;
        }
        AcceptLicence(run.setup.program.processId);
        HWND completed = run.WaitPage(CompletedCaption);
        ASSERT_TRUE(completed);
        EXPECT_EQ(run.folder + "\r\n", ReadWholeFile(run.folder + "\\orvane.cfg"));
        std::string script = ReadWholeFile(run.folder + "\\links.inf");
        EXPECT_NE(std::string::npos, script.find("InstallDir       = \"" + run.folder + "\"\r\n"))
            << script;
        EXPECT_EQ(0, FinishSetup(run, completed));
        EXPECT_EQ("brindle.exe inst.exe orvane.cfg start.ini", FolderListing(run.folder));
    }
}

// --- The longest install directory ------------------------------------------------------

TEST(LimitsE2E, InstallDirectoryOf99CharactersWithTheLongestLinesAndStartCommand)
{
    SetupRun run;
    ASSERT_TRUE(run.Prepare("longinstall", "setup-copy.exe"));
    std::string install = run.folder + "\\" + Repeat('i', 99 - run.folder.size() - 1);
    ASSERT_EQ(99u, install.size());
    // Path lines of 190 characters: the marker and a rest of 184.
    std::string rest = "\\" + Repeat('r', 183);
    std::string bare = Repeat('x', 184);
    std::string text = Repeat('t', 190);
    // A file line of 190 characters whose folder is missing: its box names all 282 of them.
    std::string lost = "\\missing\\" + Repeat('m', 174);
    MakeFileWithText(run.source + "\\start.ini", ":%path%\\long.cfg\r\n%path%" + rest + "\r\n%PATH%" +
                                                     bare + "\r\n" + text + "\r\n:%path%" + lost +
                                                     "\r\ndropped\r\n");
    ASSERT_TRUE(CopyBuiltProgram("probes\\orvane.exe", run.source.c_str(), "orvane.exe"));

    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, install, false);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page\n" << Describe(boxes);
    EXPECT_EQ(Describe({{"Error", "Could not write file " + install + lost}}), Describe(boxes));
    EXPECT_EQ(install + rest + "\r\n" + install + bare + "\r\n" + text + "\r\n",
              ReadWholeFile(install + "\\long.cfg"))
        << "lines of 283 characters are kept whole";

    ASSERT_TRUE(PressButton(completed, IDC_START_MAIN));
    EXPECT_EQ(0, run.Exit());
    // The main program writes its command line beside itself, in its own time.
    std::string command = install + "\\orvane " + install;
    EXPECT_EQ(206u, command.size());
    EXPECT_EQ(command, WaitForFileText(install + "\\orvane-command.txt", command));
}

// --- Template lines ---------------------------------------------------------------------

std::string Joined(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

TEST(LimitsE2E, TemplateLinesBeyondTheLimitsAndTemplatesWithoutOutput)
{
    // A path line of 300 KiB that begins in the first read block and ends in the second.
    const std::string head = ":%path%\\cut.cfg\r\n" + Repeat('a', 300) + "\r\n";
    const std::string longPathLine = "%path%" + Repeat('b', 300 << 10);
    ASSERT_LT(head.size(), ReadBlock);
    ASSERT_GT(head.size() + longPathLine.size(), ReadBlock);
    const struct {
        const char *name;
        std::string text;
        std::map<std::string, std::string> files;  // "{I}" stands for the install directory
    } cases[] = {
        {"a 300-character line and a 300 KiB line across two read blocks",
         head + longPathLine + "\r\nafter\r\n",
         {{"cut.cfg", Repeat('a', 190) + "\r\n{I}" + Repeat('b', 184) + "\r\nafter\r\n"}}},
        {"an empty template", "", {}},
        {"a template of only short lines", "\r\nx\r\n \r\n\n:\r\n%\r\ny", {}},
    };

    int number = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetupRun run;
        ASSERT_TRUE(run.Prepare(("template" + std::to_string(++number)).c_str(), "setup.exe"));
        MakeFileWithText(run.folder + "\\start.ini", c.text);
        ASSERT_TRUE(run.Start());
        AcceptLicence(run.setup.program.processId);
        HWND completed = run.WaitPage(CompletedCaption);
        ASSERT_TRUE(completed);
        std::vector<std::string> names = {"brindle.exe", "inst.exe", "start.ini"};
        for (const auto &[name, content] : c.files) {
            std::string expected = content;
            for (size_t at; (at = expected.find("{I}")) != std::string::npos;)
                expected.replace(at, 3, run.folder);
            std::string generated = ReadWholeFile(run.folder + "\\" + name);
            EXPECT_TRUE(expected == generated)
                << name << ": " << generated.size() << " bytes, expected " << expected.size();
            names.push_back(name);
        }
        std::vector<std::string> withScript = names;
        withScript.push_back("links.inf");
        EXPECT_EQ(Joined(withScript), FolderListing(run.folder))
            << "the link script did not run, or more was generated";
        EXPECT_EQ(0, FinishSetup(run, completed));
        EXPECT_EQ(Joined(names), FolderListing(run.folder));
    }
}

}  // namespace
