#pragma once
// Small helpers the tests share: a file's text, a path quoted for sh, and the Qt warnings given.

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lunaveil::test {

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One word for sh, whatever it contains.
inline std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Records the warnings Qt's logging gives while it lives; every message is still printed.
class Warnings {
public:
    Warnings() : previous_(qInstallMessageHandler(record)) { said().clear(); }
    ~Warnings() { qInstallMessageHandler(previous_); }
    Warnings(const Warnings&) = delete;
    Warnings& operator=(const Warnings&) = delete;

    static std::vector<std::string>& said()
    {
        static std::vector<std::string> warnings;
        return warnings;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type == QtWarningMsg)
            said().push_back(message.toStdString());
        std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    }
    QtMessageHandler previous_;
};

}  // namespace lunaveil::test
