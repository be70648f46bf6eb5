#ifndef VELTRANE_INSTALL_SCAN_H
#define VELTRANE_INSTALL_SCAN_H

// Appends everything below `directory` (no trailing backslash) to the file list:
// sub-directories before their contents, hidden and system entries left out, each file
// with its size from the directory listing. Records the first path that does not fit in
// FileListOverflowPath and writes nothing past storage. Returns 0.
int ScanTree(const char *directory);

// The size a file of 2 GiB or more is entered with; the copy counts it as no bytes.
enum { SizeTooLarge = -2 };

// What the scan leaves out of the list.
enum ScanOmission {
    ScanOmitHidden,             // a hidden entry (a hidden directory is not entered either)
    ScanOmitSystem,             // a system entry or a volume label
    ScanOmitListFull,           // the list already holds MaxFileCount entries
    ScanOmitPathTooLong,        // the entry's list path would pass 127 characters
    ScanOmitTooManyDirectories, // a directory's sub-directories past the 128th
    ScanOmitNameTooLong,        // a sub-directory name of more than 63 characters
    ScanOmitDirectoryTooLong,   // a directory whose path is too long to list or enter
};
// Hears of one entry left out: the directory listed, the entry's name ("" when the
// directory itself cannot be listed) and "\\" for a directory or "" for a file.
typedef void ScanOmissionReport(int omission, const char *directory, const char *name,
                                const char *tail);
// Lets a tool hear what the scan leaves out; 0 (the start) for nobody.
void ReportScanOmissions(ScanOmissionReport *report);

#endif
