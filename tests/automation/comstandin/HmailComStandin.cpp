// A stand-in for the mail server's COM administration object
// "hMailServer.Application": an in-process server with IDispatch written by
// hand, without a type library. It records every event and behaves as the
// TARVELO_STANDIN_* variables say (the same as the automation plugin's
// stand-in, see ../plugin/StandinConfig.h), read when the application object
// is made:
//   TARVELO_STANDIN_LOG, _FAIL, _FAIL_DESC, _FAIL_CODE, _MISSING, _PASSWORD_OUT, _HANG
//   TARVELO_STANDIN_FAIL_DEFERRED  when set, the error's description is filled
//                                  in only by EXCEPINFO's deferred callback
//   TARVELO_STANDIN_HANG here only for "authenticate" and "refresh"
// "authenticate" and "refresh" are methods, "settings" and "routes"
// properties; "authenticate" takes the user name as a string and the password
// as a reference to a string, as the mail server's object does. Calls the
// mail server's object would refuse are refused the same way: another
// argument count or type, a property called as a method only, a locale other
// than 0.
#include <windows.h>

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <cwchar>
#include <string>

namespace {

// {7A1F2C3D-4B5E-4F60-8A91-B2C3D4E5F607}
const CLSID kClassId = {
    0x7a1f2c3d, 0x4b5e, 0x4f60, {0x8a, 0x91, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6, 0x07}};

enum Member : DISPID { Authenticate = 1, Settings = 2, Routes = 3, Refresh = 4 };

struct Config {
    std::wstring logPath;
    std::wstring failMember;
    std::wstring failDescription;
    unsigned long failCode = 0x80004005;
    bool failDeferred = false;
    std::wstring missingMember;
    bool changesPassword = false;
    std::wstring passwordOut;
    std::wstring hangMember;
};

bool variable(const wchar_t* name, std::wstring* value) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        value->clear();
        return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    value->resize(size);
    const DWORD length = ::GetEnvironmentVariableW(name, value->data(), size);
    value->resize(length);
    return true;
}

Config readConfig() {
    Config c;
    variable(L"TARVELO_STANDIN_LOG", &c.logPath);
    variable(L"TARVELO_STANDIN_FAIL", &c.failMember);
    variable(L"TARVELO_STANDIN_FAIL_DESC", &c.failDescription);
    std::wstring code;
    if (variable(L"TARVELO_STANDIN_FAIL_CODE", &code) && !code.empty()) {
        c.failCode = std::wcstoul(code.c_str(), nullptr, 0);
    }
    std::wstring deferred;
    c.failDeferred = variable(L"TARVELO_STANDIN_FAIL_DEFERRED", &deferred);
    variable(L"TARVELO_STANDIN_MISSING", &c.missingMember);
    c.changesPassword = variable(L"TARVELO_STANDIN_PASSWORD_OUT", &c.passwordOut);
    variable(L"TARVELO_STANDIN_HANG", &c.hangMember);
    return c;
}

void record(const Config& config, const std::wstring& event) {
    if (config.logPath.empty()) {
        return;
    }
    const HANDLE file =
        ::CreateFileW(config.logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring line = event + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), bytes.data(), size, nullptr,
                          nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// The description for the deferred callback, which receives nothing else.
std::wstring g_deferredDescription;

HRESULT __stdcall fillInDescription(EXCEPINFO* exception) {
    exception->bstrDescription = ::SysAllocString(g_deferredDescription.c_str());
    return S_OK;
}

class StandinObject final : public IDispatch {
public:
    enum Kind { Application, SettingsObject, RoutesObject };

    StandinObject(Kind kind, const Config& config) : m_kind(kind), m_config(config) {
        record(m_config, L"create " + name());
    }

    HRESULT __stdcall QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return ++m_references; }
    ULONG __stdcall Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            record(m_config, L"release " + name());
            delete this;
        }
        return left;
    }

    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                    DISPID* ids) override {
        if (count != 1) {
            return DISP_E_UNKNOWNNAME;
        }
        const struct {
            Kind kind;
            const wchar_t* name;
            Member id;
        } members[] = {{Application, L"authenticate", Authenticate},
                       {Application, L"settings", Settings},
                       {SettingsObject, L"routes", Routes},
                       {RoutesObject, L"refresh", Refresh}};
        for (const auto& member : members) {
            if (member.kind == m_kind && _wcsicmp(names[0], member.name) == 0 &&
                _wcsicmp(names[0], m_config.missingMember.c_str()) != 0) {
                ids[0] = member.id;
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        if (locale != 0) {
            return DISP_E_UNKNOWNLCID;
        }
        if (params == nullptr || params->cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        }
        const bool method = (flags & DISPATCH_METHOD) != 0;
        const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
        switch (id) {
        case Authenticate: {
            if (!method) {
                return DISP_E_MEMBERNOTFOUND;
            }
            if (params->cArgs != 2) {
                return DISP_E_BADPARAMCOUNT;
            }
            // Arguments arrive last first.
            const VARIANT& user = params->rgvarg[1];
            VARIANT& password = params->rgvarg[0];
            if (user.vt != VT_BSTR) {
                *argumentError = 0;
                return DISP_E_TYPEMISMATCH;
            }
            if (password.vt != (VT_BYREF | VT_BSTR)) {
                *argumentError = 1;
                return DISP_E_TYPEMISMATCH;
            }
            record(m_config,
                   L"authenticate " + text(user.bstrVal) + L" " + text(*password.pbstrVal));
            if (failing(L"authenticate", exception)) {
                return DISP_E_EXCEPTION;
            }
            if (m_config.changesPassword) {
                ::SysFreeString(*password.pbstrVal);
                *password.pbstrVal = ::SysAllocString(m_config.passwordOut.c_str());
            }
            return S_OK;
        }
        case Settings:
        case Routes: {
            if (!get) {
                return DISP_E_MEMBERNOTFOUND;
            }
            if (params->cArgs != 0) {
                return DISP_E_BADPARAMCOUNT;
            }
            const wchar_t* member = id == Settings ? L"settings" : L"routes";
            record(m_config, member);
            if (failing(member, exception)) {
                return DISP_E_EXCEPTION;
            }
            auto* made =
                new StandinObject(id == Settings ? SettingsObject : RoutesObject, m_config);
            if (result == nullptr) {
                made->Release();
                return S_OK;
            }
            ::VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = made; // the one reference, the caller's
            return S_OK;
        }
        case Refresh:
            if (!method) {
                return DISP_E_MEMBERNOTFOUND;
            }
            if (params->cArgs != 0) {
                return DISP_E_BADPARAMCOUNT;
            }
            record(m_config, L"refresh");
            return failing(L"refresh", exception) ? DISP_E_EXCEPTION : S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::wstring name() const {
        switch (m_kind) {
        case Application:
            return L"application";
        case SettingsObject:
            return L"settings";
        default:
            return L"routes";
        }
    }

    static std::wstring text(BSTR value) {
        return value == nullptr ? std::wstring() : std::wstring(value, ::SysStringLen(value));
    }

    // Fills in the error when member is the one told to fail.
    bool failing(const wchar_t* member, EXCEPINFO* exception) const {
        if (_wcsicmp(member, m_config.hangMember.c_str()) == 0) {
            ::Sleep(INFINITE); // a mail server that stopped answering
        }
        if (_wcsicmp(member, m_config.failMember.c_str()) != 0) {
            return false;
        }
        if (exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->bstrSource = ::SysAllocString(L"hMailServer");
            exception->scode = HRESULT(m_config.failCode);
            if (m_config.failDeferred) {
                g_deferredDescription = m_config.failDescription;
                exception->pfnDeferredFillIn = fillInDescription;
            } else {
                exception->bstrDescription = ::SysAllocString(m_config.failDescription.c_str());
            }
        }
        return true;
    }

    ULONG m_references = 1;
    Kind m_kind;
    Config m_config;
};

class Factory final : public IClassFactory {
public:
    HRESULT __stdcall QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One factory for the life of the library.
    ULONG __stdcall AddRef() override { return 2; }
    ULONG __stdcall Release() override { return 1; }

    HRESULT __stdcall CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* application = new StandinObject(StandinObject::Application, readConfig());
        const HRESULT hr = application->QueryInterface(riid, out);
        application->Release();
        return hr;
    }
    HRESULT __stdcall LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

} // namespace

extern "C" __declspec(dllexport) HRESULT
    __stdcall DllGetClassObject(REFCLSID classId, REFIID riid, void** out) {
    if (!IsEqualCLSID(classId, kClassId)) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, out);
}

// Stays loaded: the test program loads it once and unloads it never.
extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow() {
    return S_FALSE;
}
