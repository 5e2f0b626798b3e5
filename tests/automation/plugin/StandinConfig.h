#pragma once

#include <QString>
#include <QtGlobal>

// How the stand-in behaves, read from the environment when the application
// object is made:
//   TARVELO_STANDIN_LOG           file that receives one line per event (UTF-8, LF):
//                                 "create <object>", "authenticate <user> <password>",
//                                 "settings", "routes", "refresh", "release <object>",
//                                 where <object> is application, settings or routes
//   TARVELO_STANDIN_FAIL          member that reports an error after recording its call
//   TARVELO_STANDIN_FAIL_DESC     the error's description (may be empty)
//   TARVELO_STANDIN_FAIL_CODE     the error's code, "0x..." or decimal (default 0x80004005)
//   TARVELO_STANDIN_MISSING       member the objects lack (authenticate, settings, routes,
//                                 refresh)
//   TARVELO_STANDIN_PASSWORD_OUT  when set, authenticate leaves this text in its
//                                 password parameter
//   TARVELO_STANDIN_HANG          member that never returns after recording its
//                                 call, as a mail server that stopped answering
struct StandinConfig {
    QString logPath;
    QString failMember;
    QString failDescription;
    quint32 failCode = 0x80004005;
    QString missingMember;
    bool changesPassword = false;
    QString passwordOut;
    QString hangMember;

    static StandinConfig fromEnvironment();
};
