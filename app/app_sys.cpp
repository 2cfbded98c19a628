// The live seam table; tests replace entries and restore them.
#include "app_sys.h"

AppSysTable appSys;
