#pragma once

#include <QString>

// The URI under which SQLite opens the mail server's database file:
// read-write, never created (mode=rw). Takes an absolute path in Qt's form
// ("/srv/hm.db", "C:/hMail/hm.db", "//server/share/hm.db"). The authority
// stays empty: a share's server name there would be refused.
QString sqliteUri(const QString& absolutePath);
