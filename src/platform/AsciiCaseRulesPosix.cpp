#include "platform/AsciiCaseRules.h"

#include <clocale>
#include <locale.h>

// Only the character rules change: the drivers' messages stay in the
// language the environment chose. Where C.UTF-8 is missing (a C library
// older than glibc 2.35 without it installed), the thread keeps its rules.
AsciiCaseRules::AsciiCaseRules() {
    const locale_t current = duplocale(uselocale(locale_t(nullptr)));
    if (current == locale_t(nullptr)) {
        return;
    }
    const locale_t rules = newlocale(LC_CTYPE_MASK, "C.UTF-8", current);
    if (rules == locale_t(nullptr)) {
        freelocale(current);
        return;
    }
    m_rules = rules;
    m_before = uselocale(rules);
}

AsciiCaseRules::~AsciiCaseRules() {
    if (m_rules != nullptr) {
        uselocale(static_cast<locale_t>(m_before));
        freelocale(static_cast<locale_t>(m_rules));
    }
}
