#include "app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace folioport {

namespace {

const QString instanceService = QStringLiteral("com.tessaly.folioport");
const QString instancePath = QStringLiteral("/com/tessaly/folioport");
/// How long a second launch waits for the running one to answer.
constexpr int handOverMs = 3000;

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::Claim SingleInstance::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Claim::first;
    bus.registerObject(instancePath, this, QDBusConnection::ExportScriptableSlots);
    // why: the bus hands the name to exactly one caller, so two launches at once cannot both win.
    const auto reply = bus.interface()->registerService(instanceService, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceRegistered) return Claim::first;
    bus.unregisterObject(instancePath);
    const QDBusMessage answer = bus.call(
        QDBusMessage::createMethodCall(instanceService, instancePath, QStringLiteral("com.tessaly.folioport.Instance"),
                                       QStringLiteral("Activate")),
        QDBus::Block, handOverMs);
    return answer.type() == QDBusMessage::ReplyMessage ? Claim::handedOver : Claim::unanswered;
}

void SingleInstance::Activate() { Q_EMIT activationRequested(); }

}  // namespace folioport
