#include "automation/MetaObjectTarget.h"

#include "automation/AutomationErrorSource.h"
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
        OleErrorText::raise(OleErrorText::kTypeMismatch);
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
            OleErrorText::raise(OleErrorText::kTypeMismatch);
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
        OleErrorText::raise(OleErrorText::kFail);
    }
    for (qsizetype i = 0; i < typeNames.size(); ++i) {
        if (isReference[i] && arguments[i].byReference) {
            arguments[i].value = values[i];
        }
    }
    return result;
}

} // namespace

MetaObjectTarget::MetaObjectTarget(QObject* object)
    : m_object(object), m_owned(object != nullptr && object->parent() == nullptr) {}

MetaObjectTarget::~MetaObjectTarget() {
    if (m_owned && m_object) {
        delete m_object.data();
    }
}

std::unique_ptr<LateBoundTarget> MetaObjectTarget::invoke(const QString& name, Kind kind,
                                                          QList<AutomationArgument>& arguments,
                                                          bool* isObject) {
    if (!m_object) {
        OleErrorText::raise(OleErrorText::kInvalidPointer);
    }
    const Members members = findMembers(m_object->metaObject(), name);
    if (members.methods.isEmpty() && !members.property.isValid()) {
        throw TarveloError(OleErrorText::unknownMember(name));
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
        OleErrorText::raise(OleErrorText::kBadParameterCount);
    } else {
        // A property, where a method was asked for.
        OleErrorText::raise(OleErrorText::kMemberNotFound);
    }

    // Taken before the error check, so that an object returned by a failed
    // call is released too.
    *isObject = result.metaType().flags().testFlag(QMetaType::PointerToQObject);
    std::unique_ptr<MetaObjectTarget> returned;
    if (*isObject) {
        QObject* const made = *static_cast<QObject* const*>(result.constData());
        if (made != nullptr) {
            returned = std::make_unique<MetaObjectTarget>(made);
        }
        if (made == m_object) {
            // The object handed out itself: still one reference, held by this one.
            returned->m_owned = false;
        }
    }
    QString description;
    quint32 code = 0;
    if (m_object && errorSource && errorSource->takeError(&description, &code)) {
        throw TarveloError(OleErrorText::forException(description, code));
    }
    arguments = passed;
    return returned;
}
