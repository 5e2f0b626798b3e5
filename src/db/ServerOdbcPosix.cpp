#include "db/ServerOdbc.h"

ConnectionSettings ServerOdbc::forThisPlatform(const ConnectionSettings& parsed) {
    return parsed;
}
