// The medium's start.ini run through setup's own expansion, with every line that it
// drops or cuts and every file that it cannot create reported.
#ifndef VELTRANE_MEDIUM_CHECK_TEMPLATECHECK_H
#define VELTRANE_MEDIUM_CHECK_TEMPLATECHECK_H

// Expands the template of `sourceDir` for `installDir`, writing the files below
// `outputDir`, which holds the folders that the install directory would hold. Nothing is
// written outside `outputDir`. `where` names the template in reports. With `installMade`
// 0 (setup-copy refuses the tree and makes no install directory) no file is created and
// each file line says why. Returns 0, or -1 when the template cannot be read (reported).
int CheckTemplate(const char *sourceDir, const char *installDir, const char *outputDir,
                  const char *where, int installMade);

#endif
