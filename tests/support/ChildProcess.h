#pragma once
// A helper program of a test (picom, openbox, trayer) that ends with the test, by its own PID.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace lunaveil::test {

class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        // Their chatter (picom's Xlib warnings) is no part of the test's output.
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setProcessEnvironment(environment);
        process_.start(program, arguments);
        process_.waitForStarted(5000);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(1000);
    }

private:
    QProcess process_;
};

// picom with no user configuration: no shadows, no fading, nothing but the blend.
inline QStringList picomArguments()
{
    return {QStringLiteral("--backend"), QStringLiteral("xrender"), QStringLiteral("--config"), QStringLiteral("/dev/null")};
}

}  // namespace lunaveil::test
