#include "config/linefile.h"

int LineFileOpenWrite(const char *) { return -3; }
int LineFileOpenRead(const char *) { return -1; }
int LineFileReadLine(int, char *) { return -2; }
int LineFileWriteLine(int, const char *) { return -1; }
int LineFileCloseRead(int) { return -1; }
int LineFileCloseWrite(int) { return -1; }
int LineFileLineEndMode(void) { return 0; }
