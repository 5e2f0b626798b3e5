#include "platform/AsciiCaseRules.h"

AsciiCaseRules::AsciiCaseRules() = default;

AsciiCaseRules::~AsciiCaseRules() = default;
