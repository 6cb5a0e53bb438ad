#include "FakeServer.h"

#include "support/SpinEventLoop.h"

namespace lunaveil::test {

FakeServer::FakeServer(const QString& program, const QStringList& arguments, QProcessEnvironment environment,
                       bool runtimeFolder)
{
    if (runtimeFolder) {
        runtime_ = std::make_unique<QTemporaryDir>();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_->path());
    }
    server_.setProcessEnvironment(environment);
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(program, arguments);
    ready_ = saw("ready");
    const auto path = said_.find("ready ");
    if (path != std::string::npos)
        socket_ = QString::fromStdString(said_.substr(path + 6, said_.find('\n', path) - path - 6));
}

FakeServer::~FakeServer()
{
    kill();
}

bool FakeServer::saw(const std::string& text)
{
    return spinUntil([&] { return occurrences(text) > 0 || server_.state() == QProcess::NotRunning; }) && occurrences(text) > 0;
}

int FakeServer::occurrences(const std::string& text)
{
    said_ += server_.readAllStandardOutput().toStdString();
    int count = 0;
    for (auto at = said_.find(text); at != std::string::npos; at = said_.find(text, at + 1))
        ++count;
    return count;
}

void FakeServer::kill()
{
    server_.kill();
    server_.waitForFinished();
}

std::string FakeServer::tableLine(const std::string& display, const GammaRamp& ramp)
{
    std::string line = "set " + display;
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
        line += ' ' + std::to_string(channel->front()) + ' ' + std::to_string(channel->back());
    return line;
}

FakeGammaCompositor::FakeGammaCompositor(const QStringList& outputs)
    : FakeServer(QStringLiteral(LUNAVEIL_FAKE_GAMMA_COMPOSITOR), outputs, QProcessEnvironment::systemEnvironment(), true)
{
}

FakeDisplayConfig::FakeDisplayConfig(const QStringList& crtcs, const QString& busAddress)
    : FakeServer(QStringLiteral(LUNAVEIL_FAKE_DISPLAY_CONFIG), crtcs, [&] {
          QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
          environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
          return environment;
      }())
{
}

}  // namespace lunaveil::test
