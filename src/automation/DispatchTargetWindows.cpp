#include "automation/DispatchTarget.h"

#include "automation/OleErrorText.h"
#include "platform/TarveloError.h"

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

QString textOf(BSTR text) {
    return text == nullptr
               ? QString()
               : QString::fromWCharArray(text, static_cast<qsizetype>(::SysStringLen(text)));
}

BSTR newText(const QString& text) {
    const std::wstring wide = text.toStdWString();
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// An error the object raised while it executed the member: its description,
// and its code, scode or else wCode (as the error of the object's own
// interface facility).
[[noreturn]] void raiseException(EXCEPINFO& exception) {
    if (exception.pfnDeferredFillIn != nullptr) {
        exception.pfnDeferredFillIn(&exception);
    }
    const QString description = textOf(exception.bstrDescription);
    quint32 code = static_cast<quint32>(DISP_E_EXCEPTION);
    if (exception.scode != 0) {
        code = static_cast<quint32>(exception.scode);
    } else if (exception.wCode != 0) {
        code = 0x80040000u | exception.wCode;
    }
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    throw TarveloError(OleErrorText::forException(description, code));
}

// The arguments of one call as IDispatch::Invoke takes them: the last one
// first. A text by reference points at a BSTR held here.
class DispatchArguments {
public:
    explicit DispatchArguments(const QList<AutomationArgument>& arguments)
        : m_values(static_cast<size_t>(arguments.size())),
          m_referenced(static_cast<size_t>(arguments.size()), nullptr) {
        for (VARIANT& value : m_values) {
            ::VariantInit(&value);
        }
        try {
            for (qsizetype i = 0; i < arguments.size(); ++i) {
                const size_t slot = static_cast<size_t>(arguments.size() - 1 - i);
                set(m_values[slot], m_referenced[static_cast<size_t>(i)], arguments[i]);
            }
        } catch (...) {
            // An argument COM cannot carry: what was made for the others goes.
            release();
            throw;
        }
        m_params.rgvarg = m_values.empty() ? nullptr : m_values.data();
        m_params.cArgs = static_cast<UINT>(m_values.size());
    }
    ~DispatchArguments() { release(); }
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;

    DISPPARAMS* params() { return &m_params; }

    // What the member left in the texts passed by reference.
    void storeReferences(QList<AutomationArgument>& arguments) const {
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            if (arguments[i].byReference) {
                arguments[i].value = textOf(m_referenced[static_cast<size_t>(i)]);
            }
        }
    }

private:
    void release() {
        for (VARIANT& value : m_values) {
            if ((value.vt & VT_BYREF) == 0) {
                ::VariantClear(&value);
            }
        }
        for (BSTR& text : m_referenced) {
            ::SysFreeString(text);
            text = nullptr;
        }
    }

    static void set(VARIANT& value, BSTR& referenced, const AutomationArgument& argument) {
        const QVariant& v = argument.value;
        if (argument.byReference) {
            if (v.isValid() && !v.canConvert<QString>()) {
                OleErrorText::raise(OleErrorText::kTypeMismatch);
            }
            referenced = newText(v.toString());
            value.vt = VT_BYREF | VT_BSTR;
            value.pbstrVal = &referenced;
            return;
        }
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            return; // VT_EMPTY
        case QMetaType::Bool:
            value.vt = VT_BOOL;
            value.boolVal = v.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
            value.vt = VT_I4;
            value.lVal = v.toInt();
            return;
        case QMetaType::Double:
            value.vt = VT_R8;
            value.dblVal = v.toDouble();
            return;
        default:
            if (!v.canConvert<QString>()) {
                OleErrorText::raise(OleErrorText::kTypeMismatch);
            }
            value.vt = VT_BSTR;
            value.bstrVal = newText(v.toString());
        }
    }

    std::vector<VARIANT> m_values;
    std::vector<BSTR> m_referenced;
    DISPPARAMS m_params{};
};

class DispatchTarget : public LateBoundTarget {
public:
    explicit DispatchTarget(IDispatch* dispatch) : m_dispatch(dispatch) {}
    ~DispatchTarget() override {
        if (m_dispatch != nullptr) {
            m_dispatch->Release();
        }
    }
    DispatchTarget(const DispatchTarget&) = delete;
    DispatchTarget& operator=(const DispatchTarget&) = delete;

    std::unique_ptr<LateBoundTarget> invoke(const QString& name, Kind kind,
                                            QList<AutomationArgument>& arguments,
                                            bool* isObject) override {
        if (m_dispatch == nullptr) {
            OleErrorText::raise(OleErrorText::kInvalidPointer);
        }
        std::wstring wideName = name.toStdWString();
        LPOLESTR names[] = {wideName.data()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, ::GetThreadLocale(), &id);
        if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) {
            throw TarveloError(OleErrorText::unknownMember(name));
        }
        if (FAILED(hr)) {
            OleErrorText::raise(static_cast<quint32>(hr));
        }

        DispatchArguments passed(arguments);
        // A method's result is not asked for.
        const bool wantsResult = kind == Kind::MethodOrPropertyGet;
        const WORD flags = wantsResult ? DISPATCH_METHOD | DISPATCH_PROPERTYGET : DISPATCH_METHOD;
        struct Result {
            VARIANT value;
            Result() { ::VariantInit(&value); }
            ~Result() { ::VariantClear(&value); }
        } result;
        EXCEPINFO exception{};
        UINT argumentError = 0;
        hr = m_dispatch->Invoke(id, IID_NULL, 0, flags, passed.params(),
                                wantsResult ? &result.value : nullptr, &exception, &argumentError);
        if (hr == DISP_E_EXCEPTION) {
            raiseException(exception);
        }
        if (FAILED(hr)) {
            OleErrorText::raise(static_cast<quint32>(hr));
        }
        passed.storeReferences(arguments);
        return objectIn(result.value, isObject);
    }

    QObject* object() const override { return nullptr; }
    bool isAlive() const override { return m_dispatch != nullptr; }

private:
    // The object a result holds, with a reference of its own; the variant
    // keeps and releases its own.
    static std::unique_ptr<LateBoundTarget> objectIn(const VARIANT& result, bool* isObject) {
        *isObject = result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN;
        IDispatch* dispatch = nullptr;
        if (result.vt == VT_DISPATCH && result.pdispVal != nullptr) {
            dispatch = result.pdispVal;
            dispatch->AddRef();
        } else if (result.vt == VT_UNKNOWN && result.punkVal != nullptr) {
            const HRESULT hr =
                result.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
            if (FAILED(hr)) {
                OleErrorText::raise(static_cast<quint32>(hr));
            }
        }
        return dispatch != nullptr ? std::make_unique<DispatchTarget>(dispatch) : nullptr;
    }

    IDispatch* m_dispatch;
};

} // namespace

std::unique_ptr<LateBoundTarget> dispatchTarget(IDispatch* dispatch) {
    return std::make_unique<DispatchTarget>(dispatch);
}
