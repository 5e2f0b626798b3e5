#include "automation/SystemClasses.h"

#include "automation/DispatchTarget.h"
#include "automation/OleErrorText.h"
#include "platform/TarveloError.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <string>

std::unique_ptr<LateBoundTarget> SystemClasses::create(const QString& progId) {
    const std::wstring name = progId.toStdWString();
    CLSID classId{};
    HRESULT hr = ::CLSIDFromProgID(name.c_str(), &classId);
    if (hr == CO_E_CLASSSTRING) {
        // No class of that name in the registry: the plugins may serve it.
        return nullptr;
    }
    if (FAILED(hr)) {
        throw TarveloError(OleErrorText::message(static_cast<quint32>(hr)));
    }
    IDispatch* dispatch = nullptr;
    hr = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (FAILED(hr) || dispatch == nullptr) {
        throw TarveloError(
            OleErrorText::message(static_cast<quint32>(FAILED(hr) ? hr : E_POINTER)));
    }
    return dispatchTarget(dispatch);
}
