#include "platform/ComApartment.h"

ComApartment::ComApartment() = default;

ComApartment::~ComApartment() = default;
