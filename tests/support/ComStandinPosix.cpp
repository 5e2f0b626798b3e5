#include "ComStandin.h"

bool ComStandin::available() {
    return false;
}

ComStandin::ComStandin() = default;

ComStandin::~ComStandin() = default;

ComStandin::Absent::Absent() = default;

ComStandin::Absent::~Absent() = default;
