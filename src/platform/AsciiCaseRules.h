#pragma once

// While it lives, the calling thread's C library tells letters' case apart
// by ASCII's rules, in UTF-8. ODBC's driver manager and drivers match the
// keys of a connection string ("Driver", "Trusted_Connection") with the C
// library's case-blind comparison, which follows the locale: in a Turkish
// one "i" and "I" are no pair, and "Driver" would name no driver. On POSIX
// the thread takes C.UTF-8's character rules (AsciiCaseRulesPosix.cpp); on
// Windows the program keeps the C library's own "C" rules, and there is
// nothing to do (AsciiCaseRulesWindows.cpp).
class AsciiCaseRules {
public:
    AsciiCaseRules();
    ~AsciiCaseRules();
    AsciiCaseRules(const AsciiCaseRules&) = delete;
    AsciiCaseRules& operator=(const AsciiCaseRules&) = delete;

private:
    void* m_rules = nullptr;
    void* m_before = nullptr;
};
