#include "StandinConfig.h"

StandinConfig StandinConfig::fromEnvironment() {
    StandinConfig config;
    config.logPath = qEnvironmentVariable("TARVELO_STANDIN_LOG");
    config.failMember = qEnvironmentVariable("TARVELO_STANDIN_FAIL");
    config.failDescription = qEnvironmentVariable("TARVELO_STANDIN_FAIL_DESC");
    if (qEnvironmentVariableIsSet("TARVELO_STANDIN_FAIL_CODE")) {
        bool ok = false;
        const quint32 code = qEnvironmentVariable("TARVELO_STANDIN_FAIL_CODE").toUInt(&ok, 0);
        if (ok) {
            config.failCode = code;
        }
    }
    config.missingMember = qEnvironmentVariable("TARVELO_STANDIN_MISSING");
    config.changesPassword = qEnvironmentVariableIsSet("TARVELO_STANDIN_PASSWORD_OUT");
    config.passwordOut = qEnvironmentVariable("TARVELO_STANDIN_PASSWORD_OUT");
    config.hangMember = qEnvironmentVariable("TARVELO_STANDIN_HANG");
    return config;
}
