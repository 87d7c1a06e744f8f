#include "scan/UpdateList.h"

UpdateListType UpdateList;
int64_t TotalBytes = 0;
