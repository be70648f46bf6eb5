#include "config/linkscript.h"

int WriteLinkScript(const char *) { return 0; }
