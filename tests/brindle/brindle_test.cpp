// brindle from outside: started with a command line and a working directory, its standard
// output redirected to a file that is compared byte for byte, its exit code checked; and
// the program group that the shell's INF engine writes into setup.ini for a real links.inf.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/linkscript.h"
#include "setup_ini.h"
#include "shell/state.h"
#include "test_files.h"

namespace {

const char NoArgumentLine[] = "Please enter the name of the .INF Setup-script as parameter.\r\n";
const char CompletedLine[] = "Installation completed.\nYou may close this window now.\r\n";
const char FailedLine[] = "Installation failed.\r\n";

// The copy of brindle.exe that the build puts beside this test program, where WinExec
// also finds it.
std::string BrindlePath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string self(path, length);
    return self.substr(0, self.find_last_of('\\') + 1) + "brindle.exe";
}

struct BrindleRun {
    bool started = false;
    DWORD exitCode = 999;
    std::string output;
};

// Runs brindle with `arguments` after its quoted name, in `directory` (the test's own when
// empty), its standard output going to a fresh file unless `withOutput` is false, in which
// case it has no standard handles at all.
BrindleRun RunBrindle(const std::string &arguments, const std::string &directory = "",
                      bool withOutput = true)
{
    BrindleRun run;
    ScratchFolder scratch;
    std::string outputPath = scratch.File("stdout.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE output = INVALID_HANDLE_VALUE;
    if (withOutput) {
        output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (output == INVALID_HANDLE_VALUE)
            return run;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = withOutput ? output : NULL;
    std::string commandLine = "\"" + BrindlePath() + "\"" + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    PROCESS_INFORMATION process = {};
    run.started = CreateProcessA(NULL, buffer.data(), NULL, NULL, withOutput, 0, NULL,
                                 directory.empty() ? NULL : directory.c_str(), &startup,
                                 &process) != 0;
    if (withOutput)
        CloseHandle(output);
    if (!run.started)
        return run;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    else
        TerminateProcess(process.hProcess, 9);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.output = ReadBytes(outputPath);
    return run;
}

class Brindle : public ::testing::Test {
protected:
    ScratchFolder folder;

    void ExpectRun(const char *name, const std::string &arguments, const std::string &output,
                   const std::string &directory = "")
    {
        BrindleRun run = RunBrindle(arguments, directory);
        ASSERT_TRUE(run.started) << name << ": brindle did not start, error "
                                 << GetLastError();
        EXPECT_EQ(0u, run.exitCode) << name;
        EXPECT_EQ(Visible(output), Visible(run.output)) << name;
    }
};

TEST_F(Brindle, MessagesOfEachOutcome)
{
    std::string missing = folder.File("missing.inf");
    std::string unknownType = folder.File("script.vtq");
    WriteBytes(unknownType, "[DefaultInstall]\r\n");
    std::string inf = folder.File("empty.inf");
    WriteBytes(inf, "[Version]\r\nSignature=$Chicago$\r\n\r\n[DefaultInstall]\r\n");

    ExpectRun("no argument", "", NoArgumentLine);
    ExpectRun("only blanks and control characters", " \t \x01 ", NoArgumentLine);
    ExpectRun("a directory", " " + folder.Path(), folder.Path() + " not found.\r\n");
    ExpectRun("a missing file", " " + missing, missing + " not found.\r\n");
    ExpectRun("two arguments: the first counts", " " + missing + " " + inf,
              missing + " not found.\r\n");
    ExpectRun("two arguments, the second ignored", " " + inf + " " + missing, CompletedLine);
    // No action is registered for this file type, so the shell refuses the verb.
    ExpectRun("the shell refuses", " " + unknownType, FailedLine);
    EXPECT_EQ(22u, strlen(FailedLine));
    // The shell receives the relative path, run from the file's folder.
    ExpectRun("relative path", " empty.inf", CompletedLine, folder.Path());
}

TEST_F(Brindle, ArgumentSplitting)
{
    const std::string base = folder.Path() + "\\";
    const struct {
        const char *name;
        std::string arguments;
        std::string path;  // what brindle reports as not found
    } cases[] = {
        {"quoted part with blanks", " \"" + base + "a b.inf\"", base + "a b.inf"},
        {"quotes inside an argument", " " + base + "x\"y z\"w.inf", base + "xy zw.inf"},
        {"tab separates", "\t" + base + "t.inf\tsecond", base + "t.inf"},
        {"several separators first", "   \t  " + base + "s.inf", base + "s.inf"},
        {"unclosed quote runs to the end", " \"" + base + "open end", base + "open end"},
        {"empty quotes are an empty argument", " \"\" second", ""},
    };
    for (const auto &c : cases)
        ExpectRun(c.name, c.arguments, c.path + " not found.\r\n");
}

// An argument is held whole however long it is, and the line goes out through the
// 128-byte buffer in several writes.
TEST_F(Brindle, LongArgumentIsNotCut)
{
    for (size_t length : {127u, 128u, 129u, 300u, 5000u, 30000u}) {
        std::string path = "C:\\" + std::string(length - 3, 'p');
        std::string name = std::to_string(length) + "-character argument";
        ExpectRun(name.c_str(), " " + path, path + " not found.\r\n");
    }
}

TEST_F(Brindle, SilentWithoutStandardOutput)
{
    std::string inf = folder.File("quiet.inf");
    WriteBytes(inf, "[Version]\r\nSignature=$Chicago$\r\n\r\n[DefaultInstall]\r\n");
    for (std::string arguments : {std::string(), " " + folder.File("none.inf"), " " + inf}) {
        BrindleRun run = RunBrindle(arguments, "", false);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(0u, run.exitCode) << "arguments:" << arguments;
    }
}

// A real links.inf handed to brindle: the program group appears in setup.ini.
TEST_F(Brindle, RealLinkScriptMakesTheProgramGroup)
{
    ForgetProgramGroups();
    std::string installDir = folder.File("Suite");
    CreateDirectoryA(installDir.c_str(), NULL);
    std::string inf = installDir + "\\links.inf";
    ASSERT_EQ(0, WriteLinkFile(inf.c_str(), installDir.c_str()));
    ExpectRun("links.inf", " " + inf, CompletedLine);
    ExpectProgramGroup(installDir);
}

// What setup does: write links.inf, keep its path, start brindle hidden and go on.
TEST_F(Brindle, LinkScriptStartsBrindle)
{
    ForgetProgramGroups();
    std::string installDir = folder.File("Started");
    CreateDirectoryA(installDir.c_str(), NULL);
    ASSERT_EQ(0, WriteLinkScript(installDir.c_str()));
    EXPECT_EQ(installDir + "\\links.inf", std::string(LinksInfPath));
    std::string script = ReadBytes(LinksInfPath);
    size_t lineEnds = 0;
    for (size_t at = script.find("\r\n"); at != std::string::npos; at = script.find("\r\n", at + 2))
        lineEnds++;
    EXPECT_EQ((size_t)LinkScriptLineCount, lineEnds) << "links.inf";
    ExpectProgramGroup(installDir);
}

TEST_F(Brindle, LinkScriptFailures)
{
    std::string missing = folder.File("none");
    EXPECT_EQ(-1, WriteLinkScript(missing.c_str()));
    EXPECT_FALSE(FileExists(missing + "\\links.inf"));

    // A path that would not fit is not cut: the exit clean-up must not delete another file.
    std::string tooLong = "C:\\" + std::string(195, 'd');
    EXPECT_EQ(-1, WriteLinkScript(tooLong.c_str()));
    EXPECT_STREQ("", LinksInfPath);
}

} // namespace
