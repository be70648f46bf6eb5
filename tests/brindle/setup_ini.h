// The Wine prefix's setup.ini, where the shell's INF engine puts the program group that a
// links.inf describes. Used by the brindle tests and by the end-to-end run of setup.
#ifndef VELTRANE_TESTS_BRINDLE_SETUP_INI_H
#define VELTRANE_TESTS_BRINDLE_SETUP_INI_H

#include <string>
#include <vector>

std::string SetupIniPath();
// Deletes setup.ini, so that the next group written can be told from an earlier one.
void ForgetProgramGroups();
// The entries of a section of setup.ini's text. Wine writes each entry as a key with an
// empty value and keeps the line end of the entry's unclosed quote, which shows up as
// extra "=" lines; those are left out.
std::vector<std::string> SectionEntries(const std::string &ini, const std::string &section);
// Waits (bounded) for the INF engine, which runs on its own after brindle has ended, then
// checks group1 = Veltrane and the twelve shortcut entries for `installDir` ("C:\\" for a
// drive's root).
void ExpectProgramGroup(const std::string &installDir);

#endif
