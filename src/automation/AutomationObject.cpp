#include "automation/AutomationObject.h"

#include "automation/AutomationWaiting.h"
#include "automation/MetaObjectTarget.h"
#include "automation/OleErrorText.h"

#include <QPointer>

AutomationObject::AutomationObject(QObject* object)
    : m_target(object != nullptr ? std::make_unique<MetaObjectTarget>(object) : nullptr) {}

AutomationObject::AutomationObject(std::unique_ptr<LateBoundTarget> target)
    : m_target(std::move(target)) {}

AutomationObject::~AutomationObject() = default;

AutomationObject::AutomationObject(AutomationObject&& other) noexcept = default;

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
    if (this != &other) {
        // The old reference goes before the new one is taken.
        release();
        m_target = std::move(other.m_target);
    }
    return *this;
}

void AutomationObject::release() {
    m_target.reset();
}

void AutomationObject::call(const QString& name, QList<AutomationArgument>& arguments) {
    if (isNull()) {
        OleErrorText::raise(OleErrorText::kInvalidPointer);
    }
    bool isObject = false;
    // A returned object is released at once.
    m_target->invoke(name, LateBoundTarget::Kind::Method, arguments, &isObject);
}

void AutomationObject::call(const QString& name) {
    QList<AutomationArgument> none;
    call(name, none);
}

void AutomationObject::call(const QString& name, const std::function<bool()>& whileWaiting) {
    auto* waiting = qobject_cast<AutomationWaiting*>(object());
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
    } hooked{object(), waiting};
    waiting->setWhileWaiting(whileWaiting);
    call(name);
}

AutomationObject AutomationObject::get(const QString& name) {
    if (isNull()) {
        OleErrorText::raise(OleErrorText::kInvalidPointer);
    }
    QList<AutomationArgument> none;
    bool isObject = false;
    AutomationObject result(
        m_target->invoke(name, LateBoundTarget::Kind::MethodOrPropertyGet, none, &isObject));
    if (!isObject) {
        OleErrorText::raise(OleErrorText::kTypeMismatch);
    }
    if (result.isNull()) {
        OleErrorText::raise(OleErrorText::kInvalidPointer);
    }
    return result;
}
