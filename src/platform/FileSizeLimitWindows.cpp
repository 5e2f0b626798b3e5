#include "platform/FileSizeLimit.h"

void FileSizeLimit::reportInsteadOfEnding() {}
