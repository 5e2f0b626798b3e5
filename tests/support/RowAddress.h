#pragma once

#include "db/RouteAddressRows.h"

#include <QString>

// A stored row's address as a text of its own.
inline QString addressOf(const RouteAddressRows& rows, int row) {
    QString text;
    rows.readAddress(row, text);
    return text;
}
