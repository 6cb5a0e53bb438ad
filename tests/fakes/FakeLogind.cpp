#include "fakes/FakeLogind.h"

#include <QDBusError>

namespace lunaveil::test {
namespace {

const QString connectionName = QStringLiteral("lunaveil-fake-logind");
const QString serviceName = QStringLiteral("org.freedesktop.login1");
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");

}  // namespace

FakeLogind::FakeLogind(const QString& busAddress)
    : connection_(QDBusConnection::connectToBus(busAddress, connectionName))
{
    thread_.start();
    moveToThread(&thread_);
    registered_ = connection_.registerObject(sessionPath, this, QDBusConnection::ExportAllSlots)
                  && connection_.registerService(serviceName);
}

FakeLogind::~FakeLogind()
{
    connection_.unregisterService(serviceName);
    connection_.unregisterObject(sessionPath);
    QDBusConnection::disconnectFromBus(connectionName);
    thread_.quit();
    thread_.wait();
}

void FakeLogind::setAnswer(const QString& name, Answer answer)
{
    const std::scoped_lock lock(mutex_);
    answers_.insert(name, answer);
}

QList<FakeLogind::Call> FakeLogind::calls() const
{
    const std::scoped_lock lock(mutex_);
    return calls_;
}

void FakeLogind::SetBrightness(const QString& subsystem, const QString& name, uint brightness)
{
    const std::scoped_lock lock(mutex_);
    calls_.append({subsystem, name, brightness});
    switch (answers_.value(name, Answer::Accept)) {
    case Answer::Accept:
        break;
    case Answer::Refuse:
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Not allowed in this session"));
        break;
    case Answer::Never:
        setDelayedReply(true);  // and no reply follows: the caller waits for its timeout
        break;
    }
}

}  // namespace lunaveil::test
