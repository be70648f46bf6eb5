// setup under code page 932, in a Wine session of its own with a Japanese locale. There
// the second byte of some characters is 0x5C, the backslash's: a folder whose name ends in
// one is a folder like any other, in place and as the copy's install directory.
#include <windows.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "pages_walk.h"
#include "resource.h"
#include "setup_run.h"

namespace {

// 表 and ソ: a lead byte and 0x5C each.
const std::string InPlaceFolder = "C:\\\x95\x5C";
const std::string InstallFolder = "C:\\\x83\x5C";

// The sample suite's generated files and the rests of their lines that name the install
// directory.
const struct {
    const char *file;
    std::vector<std::string> pathLines;
} GeneratedFiles[] = {
    {"orvane.ini", {"", "\\schematic", "\\layout", "\\library"}},
    {"layout\\router.ini", {"\\layout\\default.rul"}},
    {"library\\partlib.ini", {"\\library\\standard.lib", "\\library\\connect.lib"}},
};

class Cp932E2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        // In another code page these names end in two characters, and a run proves nothing.
        ASSERT_EQ(932u, GetACP()) << "the cp932 session does not run in code page 932";
    }
};

// The lines of a file that begin with `prefix`, in their order; none when it is missing.
std::vector<std::string> LinesBeginningWith(const std::string &path, const std::string &prefix)
{
    std::vector<std::string> found;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    }
    return found;
}

// Each generated file is there, and its directory lines hold the install directory whole.
void ExpectGeneratedFiles(const std::string &install)
{
    for (const auto &generated : GeneratedFiles) {
        std::vector<std::string> expected;
        for (const std::string &rest : generated.pathLines)
            expected.push_back(install + rest);
        EXPECT_EQ(expected, LinesBeginningWith(install + "\\" + generated.file, "C:"))
            << generated.file;
    }
}

// The entries below `root` ("folder\" for folders), every level or only the first.
void CollectEntries(const std::string &root, const std::string &relative, bool deep,
                    std::set<std::string> *entries)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\" + relative + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            entries->insert(relative + name);
            continue;
        }
        entries->insert(relative + name + "\\");
        if (deep)
            CollectEntries(root, relative + name + "\\", deep, entries);
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

std::set<std::string> Entries(const std::string &root, bool deep)
{
    std::set<std::string> entries;
    CollectEntries(root, "", deep, &entries);
    return entries;
}

// Setup's run from its welcome page to its end, every message box an unexpected one.
void RunToTheEnd(SetupRun &run, bool copyMode, const std::string &install)
{
    if (copyMode)
        ChooseInstallDirectory(run, install, false);
    else
        AcceptLicence(run.setup.program.processId);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page\n" << Describe(boxes);
    EXPECT_EQ("", Describe(boxes));
    ExpectGeneratedFiles(install);
    EXPECT_EQ(0, FinishSetup(run, completed));
}

TEST_F(Cp932E2E, InPlaceFromAFolderEndingIn0x5CGeneratesTheConfiguration)
{
    RemoveFolderTree(InPlaceFolder.c_str());
    SetupRun run;
    ASSERT_TRUE(run.PrepareSuite(InPlaceFolder));
    ASSERT_TRUE(run.Start());
    RunToTheEnd(run, false, InPlaceFolder);
    RemoveFolderTree(InPlaceFolder.c_str());
}

TEST_F(Cp932E2E, CopyIntoAFolderEndingIn0x5CPutsTheWholeSuiteThere)
{
    RemoveFolderTree(InstallFolder.c_str());
    SetupRun run;
    ASSERT_TRUE(run.Prepare("cp932-copy", "setup-copy.exe"));
    ASSERT_TRUE(CopySampleSuite(run.source));
    ASSERT_TRUE(CopyBuiltProgram("brindle.exe", run.folder.c_str(), NULL));
    std::set<std::string> drive = Entries("C:", false);
    ASSERT_TRUE(run.Start());
    RunToTheEnd(run, true, InstallFolder);

    std::set<std::string> expected = Entries(run.source, true);
    for (const auto &generated : GeneratedFiles)
        expected.insert(generated.file);
    EXPECT_EQ(expected, Entries(InstallFolder, true));
    drive.insert(InstallFolder.substr(3) + "\\");
    EXPECT_EQ(drive, Entries("C:", false)) << "C:\\ holds more than the install directory";
    RemoveFolderTree(InstallFolder.c_str());
}

// The directory page's 99 bytes end inside a double-byte character: the page never cuts
// the text it shows. An edit that counts bytes takes 98 of them; one that counts characters
// (as Wine's does) shows all 100, which are refused whole rather than installed into cut.
TEST_F(Cp932E2E, DirectoryPageLimitInsideACharacterCutsNothing)
{
    SetupRun run;
    ASSERT_TRUE(run.Prepare("cp932-limit", "setup-copy.exe"));
    ASSERT_TRUE(run.Start());
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    const std::string typed = "C:\\" + std::string(95, 'a') + "\x95\x5C";
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, typed.c_str()));
    char shown[200] = "";
    ReadControlText(page, IDC_DIRECTORY_EDIT, shown, sizeof shown);
    if (std::string(shown) == typed) {
        ASSERT_TRUE(PressButton(page, IDOK));
        HWND box = run.WaitBox("Error");
        ASSERT_TRUE(box);
        EXPECT_EQ("The install directory is longer than 99 characters\n\nChoose a shorter one",
                  BoxText(box));
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
    } else {
        EXPECT_EQ(typed.substr(0, 98), shown) << "the edit cut the text elsewhere";
    }
    Press(page, IDCANCEL);
    HWND exitPage = run.WaitPage(ExitCaption);
    ASSERT_TRUE(exitPage);
    Press(exitPage, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
}

}  // namespace
