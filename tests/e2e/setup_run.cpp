#include "setup_run.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include "resource.h"

bool SetupRun::Prepare(const char *name, const char *program, const std::string &deeper)
{
    char path[MAX_PATH];
    if (!MakeScratchFolder(name, path, sizeof path))
        return false;
    folder = path;
    if (!deeper.empty()) {
        folder += "\\" + deeper;
        if (!CreateDirectoryA(folder.c_str(), NULL))
            return false;
    }
    source = folder + "\\veltrane";
    // brindle ships beside setup; without it setup reports that it could not start it.
    if (!CopyBuiltProgram(program, folder.c_str(), "inst.exe") ||
        !CopyBuiltProgram("brindle.exe", folder.c_str(), NULL))
        return false;
    return strcmp(program, "setup-copy.exe") != 0 || CreateDirectoryA(source.c_str(), NULL);
}

bool SetupRun::PrepareSuite(const std::string &suite)
{
    folder = suite;
    return CopySampleSuite(folder) && CopyBuiltProgram("setup.exe", folder.c_str(), "inst.exe") &&
           CopyBuiltProgram("brindle.exe", folder.c_str(), NULL);
}

bool SetupRun::Start()
{
    std::string path = folder + "\\inst.exe";
    return StartProgram(&setup.program, path.c_str(), NULL, folder.c_str());
}

HWND SetupRun::WaitPage(const char *caption, DWORD milliseconds)
{
    return WaitForPage(setup.program.processId, caption, milliseconds);
}

HWND SetupRun::WaitBox(const char *caption, DWORD milliseconds)
{
    return WaitForMessageBox(setup.program.processId, caption, milliseconds);
}

HWND SetupRun::MainWindow()
{
    WindowQuery query = {NULL, "INSTALL", setup.program.processId};
    return WaitForTopWindow(&query, PageAppearMilliseconds);
}

long SetupRun::Exit()
{
    return WaitForProgramExit(&setup.program, PageAppearMilliseconds);
}

std::string BoxText(HWND box)
{
    char text[1024];
    ReadMessageBoxText(box, text, sizeof text);
    return text;
}

static bool CopyFolder(const std::string &from, const std::string &to)
{
    if (!CreateDirectoryA(to.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    bool copied = search != INVALID_HANDLE_VALUE;
    for (BOOL more = copied; more && copied; more = FindNextFileA(search, &found)) {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        copied = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY
                     ? CopyFolder(from + "\\" + name, to + "\\" + name)
                     : CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), TRUE);
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return copied;
}

bool CopySampleSuite(const std::string &folder)
{
    return CopyFolder(std::string(ShippedProgramFolder()) + "\\sample\\veltrane", folder);
}

void ChooseInstallDirectory(SetupRun &run, const std::string &directory, bool exists)
{
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page) << "no directory page";
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, directory.c_str()));
    Press(page, IDOK);
    if (exists) {
        HWND box = run.WaitBox("Message");
        ASSERT_TRUE(box) << "no question about the existing directory";
        // The question names the directory without a final backslash ("c:\" as "c:").
        std::string shown = directory;
        if (shown.size() >= 2 && shown.back() == '\\')
            shown.pop_back();
        EXPECT_EQ("Directory " + shown + " exists overwrite ?", BoxText(box));
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
    }
}

const char NotInstalledText[] =
    "Veltrane was not installed\n\nSetup could not copy all of its files";

std::string Describe(const std::vector<BoxSeen> &boxes)
{
    std::string lines;
    for (const BoxSeen &box : boxes)
        lines += "[" + box.caption + "] " + box.text + "\n";
    return lines;
}

// Where the copy's progress bar stands, -1 when no copy shows one.
static int CopyPosition(const SetupRun &run)
{
    WindowQuery query = {NULL, "INSTALL", run.setup.program.processId};
    HWND main = FindTopWindow(&query);
    HWND page = main ? FindWindowExA(main, NULL, "#32770", "Progress") : NULL;
    DWORD_PTR position;
    if (!page || !SendMessageTimeoutA(GetDlgItem(page, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0,
                                      SMTO_ABORTIFHUNG, 1000, &position))
        return -1;
    return (int)position;
}

HWND AnswerUntilCompleted(SetupRun &run, std::vector<BoxSeen> *seen,
                          bool (*cancel)(const std::string &text))
{
    DWORD start = GetTickCount();
    int position = -1;
    // A long copy is a step of its own each time its bar moves.
    while (GetTickCount() - start < CopyMilliseconds && CaseMilliseconds(CopyMilliseconds)) {
        int now = CopyPosition(run);
        if (now != position)
            CaseAdvanced();
        position = now;
        if (HWND completed = run.WaitPage(CompletedCaption, 0))
            return completed;
        for (const char *caption : {"Message", "Error"}) {
            HWND box = run.WaitBox(caption, 0);
            if (!box)
                continue;
            std::string text = BoxText(box);
            seen->push_back({caption, text});
            bool cancelIt = cancel && !strcmp(caption, "Message") && cancel(text);
            AnswerMessageBox(box, cancelIt ? IDCANCEL : IDOK);
            WaitForWindowGone(box, PageGoneMilliseconds);
        }
        if (WaitForProgramExit(&run.setup.program, 0) != ExitCodeStillRunning)
            return NULL;
        Sleep(20);
    }
    return NULL;
}

static std::string FileText(const std::string &path)
{
    std::string text;
    char chunk[512];
    size_t got;
    FILE *file = fopen(path.c_str(), "rb");

    if (!file)
        return text;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    return text;
}

std::string WaitForFileText(const std::string &path, const std::string &expected)
{
    std::string text = FileText(path);
    for (DWORD start = GetTickCount();
         text != expected && GetTickCount() - start < PageAppearMilliseconds;
         text = FileText(path))
        Sleep(50);
    return text;
}

long FinishSetup(SetupRun &run, HWND completed)
{
    if (!PressButton(completed, IDC_EXIT_SETUP))
        return ExitCodeStillRunning;
    return run.Exit();
}
