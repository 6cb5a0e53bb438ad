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

// The Qt warnings given from now on, kept until the next call; every message is still printed.
inline std::vector<std::string>& recordWarnings()
{
    static std::vector<std::string> warnings;
    warnings.clear();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtWarningMsg)
            warnings.push_back(message.toStdString());
        std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    });
    return warnings;
}

}  // namespace lunaveil::test
