#include "setup_ini.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

std::string SetupIniPath()
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\setup.ini";
}

void ForgetProgramGroups()
{
    DeleteFileA(SetupIniPath().c_str());
}

static std::string ReadSetupIni()
{
    std::ifstream in(SetupIniPath(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> SectionEntries(const std::string &ini, const std::string &section)
{
    std::vector<std::string> entries;
    bool inside = false;
    std::istringstream lines(ini);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '='))
            line.pop_back();
        if (!line.empty() && line[0] == '[')
            inside = line == "[" + section + "]";
        else if (inside && !line.empty())
            entries.push_back(line);
    }
    return entries;
}

static std::vector<std::string> WaitForGroupEntries(const std::string &installDir)
{
    std::vector<std::string> entries;
    for (int tries = 0; tries < 300; tries++) {
        entries = SectionEntries(ReadSetupIni(), "group1");
        if (entries.size() == 12 && entries.back().find(installDir) != std::string::npos)
            break;
        Sleep(100);
    }
    return entries;
}

void ExpectProgramGroup(const std::string &installDir)
{
    std::vector<std::string> entries = WaitForGroupEntries(installDir);
    char group[64] = "";
    GetPrivateProfileStringA("progman.groups", "group1", "", group, sizeof group,
                             SetupIniPath().c_str());
    EXPECT_STREQ("Veltrane", group);
    ASSERT_EQ(12u, entries.size()) << "setup.ini:\n" << ReadSetupIni();
    // A drive's root stands as "C:\\" and gives its names no second backslash.
    const std::string &d = installDir;
    const std::string in = d.back() == '\\' ? d : d + "\\";
    EXPECT_EQ("\"Orvane Manager\" ,\"" + in + "orvane.exe\",,,,\"" + d + "\"", entries[0]);
    EXPECT_EQ("\"Autorouter\" ,\"" + in + "router.exe /auto\",,,,\"" + in + "layout\"",
              entries[2]);
    for (const std::string &entry : entries) {
        EXPECT_EQ(std::string::npos, entry.find("%InstallDir%")) << entry;
        EXPECT_EQ(0u, entry.find('"')) << entry;
        EXPECT_NE(std::string::npos, entry.find(" ,\"" + in)) << entry;
        EXPECT_EQ(std::string::npos, entry.find(in + "\\")) << entry;
    }
}
