#include "pages_walk.h"

#include <algorithm>
#include <string.h>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "resource.h"

const char WelcomeCaption[] = "Welcome";
const char LicenceCaption[] = "Licence Agreement";
const char ExitCaption[] = "Exit setup";
const char DirectoryCaption[] = "Directory to install Veltrane";
const char CompletedCaption[] = "Setup completed";

HWND WaitForPage(DWORD processId, const char *caption, DWORD milliseconds)
{
    WindowQuery query = {caption, "#32770", processId};
    return WaitForTopWindow(&query, milliseconds);
}

void Press(HWND page, int button)
{
    ASSERT_TRUE(PressButton(page, button)) << "button " << button;
    EXPECT_TRUE(WaitForWindowGone(page, PageGoneMilliseconds))
        << "page stays after " << button;
}

void AcceptLicence(DWORD processId)
{
    HWND welcome = WaitForPage(processId, WelcomeCaption);
    ASSERT_TRUE(welcome);
    Press(welcome, IDC_NEXT);
    HWND licence = WaitForPage(processId, LicenceCaption);
    ASSERT_TRUE(licence);
    Press(licence, IDYES);
}

std::string FolderListing(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, ".."))
            names.push_back(found.cFileName);
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const std::string &name : names)
        listing += (listing.empty() ? "" : " ") + name;
    return listing;
}
