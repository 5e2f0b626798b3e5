#include "automation/SystemMessage.h"

QString SystemMessage::text(quint32) {
    return {};
}
