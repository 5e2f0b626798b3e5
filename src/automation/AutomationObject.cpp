#include "automation/AutomationObject.h"

#include "automation/AutomationErrorSource.h"
#include "automation/AutomationWaiting.h"
#include "automation/OleErrorText.h"
#include "platform/AsciiCase.h"
#include "platform/TarveloError.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <algorithm>
#include <array>

namespace {

// QMetaMethod::invoke takes at most ten arguments.
constexpr int kMaxArguments = 10;

[[noreturn]] void raiseCode(quint32 code) {
    throw TarveloError(OleErrorText::message(code));
}

[[noreturn]] void raiseUnknownMember(const QString& name) {
    throw TarveloError(
        QStringLiteral("Die Methode '%1' wird vom Automatisierungsobjekt nicht unterstützt")
            .arg(name));
}

bool isCallable(const QMetaMethod& method) {
    return method.access() == QMetaMethod::Public &&
           (method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot);
}

// The object's members of the given name: exactly spelled ones if there are
// any, else those whose names differ only in the case of A to Z.
struct Members {
    QList<QMetaMethod> methods;
    QMetaProperty property;
};

Members findMembers(const QMetaObject* meta, const QString& name) {
    const QByteArray exact = name.toUtf8();
    for (const bool exactOnly : {true, false}) {
        Members found;
        // From the most derived class down, so that a redeclared member wins.
        for (int i = meta->methodCount() - 1; i >= QObject::staticMetaObject.methodCount(); --i) {
            const QMetaMethod method = meta->method(i);
            if (!isCallable(method)) {
                continue;
            }
            const QByteArray methodName = method.name();
            if (exactOnly ? methodName == exact
                          : AsciiCase::equalIgnoringCase(QString::fromUtf8(methodName), name)) {
                found.methods.append(method);
            }
        }
        for (int i = meta->propertyCount() - 1; i >= QObject::staticMetaObject.propertyCount();
             --i) {
            const QMetaProperty property = meta->property(i);
            if (!property.isReadable()) {
                continue;
            }
            const QByteArray propertyName = property.name();
            if (exactOnly ? propertyName == exact
                          : AsciiCase::equalIgnoringCase(QString::fromUtf8(propertyName), name)) {
                found.property = property;
                break;
            }
        }
        if (!found.methods.isEmpty() || found.property.isValid()) {
            return found;
        }
    }
    return {};
}

// The argument converted to the parameter's type; raises a type mismatch when
// it cannot be.
QVariant convertArgument(const QVariant& value, QMetaType type) {
    if (type == QMetaType::fromType<QVariant>()) {
        return value;
    }
    if (!value.isValid()) {
        return QVariant(type);
    }
    QVariant converted = value;
    if (converted.metaType() != type && !converted.convert(type)) {
        raiseCode(OleErrorText::kTypeMismatch);
    }
    return converted;
}

QVariant invokeMethod(QObject* object, const QMetaMethod& method,
                      QList<AutomationArgument>& arguments) {
    const QList<QByteArray> typeNames = method.parameterTypes();
    std::array<QVariant, kMaxArguments> values;
    std::array<bool, kMaxArguments> isReference{};
    std::array<QGenericArgument, kMaxArguments> generic{};
    for (qsizetype i = 0; i < typeNames.size(); ++i) {
        QByteArray typeName = typeNames[i];
        isReference[i] = typeName.endsWith('&');
        if (isReference[i]) {
            typeName.chop(1);
        }
        const QMetaType type = QMetaType::fromName(typeName);
        if (!type.isValid()) {
            raiseCode(OleErrorText::kTypeMismatch);
        }
        values[i] = convertArgument(arguments[i].value, type);
        // A QVariant parameter is the variant itself, any other the value it holds.
        void* data = type == QMetaType::fromType<QVariant>() ? &values[i] : values[i].data();
        generic[i] = QGenericArgument(typeNames[i].constData(), data);
    }

    QVariant result;
    QGenericReturnArgument returnArgument;
    const QMetaType returnType = method.returnMetaType();
    if (returnType.isValid() && returnType.id() != QMetaType::Void) {
        result = QVariant(returnType);
        returnArgument = QGenericReturnArgument(method.typeName(), result.data());
    }
    if (!method.invoke(object, Qt::DirectConnection, returnArgument, generic[0], generic[1],
                       generic[2], generic[3], generic[4], generic[5], generic[6], generic[7],
                       generic[8], generic[9])) {
        raiseCode(OleErrorText::kFail);
    }
    for (qsizetype i = 0; i < typeNames.size(); ++i) {
        if (isReference[i] && arguments[i].byReference) {
            arguments[i].value = values[i];
        }
    }
    return result;
}

// The object a result holds, taken as a reference; a null handle when the
// result is no object.
AutomationObject objectIn(const QVariant& result, bool* isObject) {
    *isObject = result.metaType().flags().testFlag(QMetaType::PointerToQObject);
    if (!*isObject) {
        return {};
    }
    return AutomationObject(*static_cast<QObject* const*>(result.constData()));
}

} // namespace

AutomationObject::AutomationObject(QObject* object)
    : m_object(object), m_owned(object != nullptr && object->parent() == nullptr) {}

AutomationObject::~AutomationObject() {
    release();
}

AutomationObject::AutomationObject(AutomationObject&& other) noexcept
    : m_object(std::move(other.m_object)), m_owned(other.m_owned) {
    other.m_object.clear();
    other.m_owned = false;
}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
    if (this != &other) {
        release();
        m_object = std::move(other.m_object);
        m_owned = other.m_owned;
        other.m_object.clear();
        other.m_owned = false;
    }
    return *this;
}

void AutomationObject::release() {
    if (m_owned && m_object) {
        delete m_object.data();
    }
    m_object.clear();
    m_owned = false;
}

void AutomationObject::call(const QString& name, QList<AutomationArgument>& arguments) {
    bool isObject = false;
    // A returned object is released when this handle goes.
    const AutomationObject unused = invoke(name, Kind::Method, arguments, &isObject);
}

void AutomationObject::call(const QString& name) {
    QList<AutomationArgument> none;
    call(name, none);
}

void AutomationObject::call(const QString& name, const std::function<void()>& whileWaiting) {
    auto* waiting = qobject_cast<AutomationWaiting*>(m_object.data());
    if (waiting == nullptr) {
        call(name);
        return;
    }
    // The hook belongs to this call only: it is taken back on every way out.
    struct Hooked {
        QPointer<QObject> object;
        AutomationWaiting* waiting;
        ~Hooked() {
            if (object) {
                waiting->setWhileWaiting({});
            }
        }
    } hooked{m_object, waiting};
    waiting->setWhileWaiting(whileWaiting);
    call(name);
}

AutomationObject AutomationObject::get(const QString& name) {
    QList<AutomationArgument> none;
    bool isObject = false;
    AutomationObject result = invoke(name, Kind::MethodOrPropertyGet, none, &isObject);
    if (!isObject) {
        raiseCode(OleErrorText::kTypeMismatch);
    }
    if (result.isNull()) {
        raiseCode(OleErrorText::kInvalidPointer);
    }
    return result;
}

AutomationObject AutomationObject::invoke(const QString& name, Kind kind,
                                          QList<AutomationArgument>& arguments, bool* isObject) {
    if (!m_object) {
        raiseCode(OleErrorText::kInvalidPointer);
    }
    const Members members = findMembers(m_object->metaObject(), name);
    if (members.methods.isEmpty() && !members.property.isValid()) {
        raiseUnknownMember(name);
    }

    // Nothing the object reported before belongs to this call.
    auto* errorSource = qobject_cast<AutomationErrorSource*>(m_object.data());
    if (errorSource) {
        QString description;
        quint32 code = 0;
        errorSource->takeError(&description, &code);
    }

    // What the call leaves in arguments passed by reference reaches the
    // caller only when the call succeeded.
    QList<AutomationArgument> passed = arguments;
    QVariant result;
    const auto method =
        std::find_if(members.methods.cbegin(), members.methods.cend(),
                     [&](const QMetaMethod& m) { return m.parameterCount() == arguments.size(); });
    if (method != members.methods.cend() && arguments.size() <= kMaxArguments) {
        result = invokeMethod(m_object.data(), *method, passed);
    } else if (kind == Kind::MethodOrPropertyGet && members.property.isValid() &&
               arguments.isEmpty()) {
        result = members.property.read(m_object.data());
    } else if (!members.methods.isEmpty()) {
        raiseCode(OleErrorText::kBadParameterCount);
    } else {
        // A property, where a method was asked for.
        raiseCode(OleErrorText::kMemberNotFound);
    }

    // Taken before the error check, so that an object returned by a failed
    // call is released too.
    AutomationObject returned = objectIn(result, isObject);
    if (returned.object() == m_object) {
        // The object handed out itself: still one reference, held by this handle.
        returned.m_owned = false;
    }
    QString description;
    quint32 code = 0;
    if (m_object && errorSource && errorSource->takeError(&description, &code)) {
        throw TarveloError(OleErrorText::forException(description, code));
    }
    arguments = passed;
    return returned;
}
