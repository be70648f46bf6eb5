#include "config/startfile.h"

int ExpandStartFile(const char *, const char *) { return 0; }
