#include "platform/ComApartment.h"

#include <windows.h>

#include <objbase.h>

ComApartment::ComApartment() {
    // S_FALSE: the thread already was one; it is still uninitialised once
    // for this call. A thread of another apartment kind stays as it is.
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_initialised = SUCCEEDED(hr);
}

ComApartment::~ComApartment() {
    if (m_initialised) {
        ::CoUninitialize();
    }
}
