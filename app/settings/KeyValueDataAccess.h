#pragma once
// Lunaveil's per-user defaults file: typed values under string keys, each write durable.
// Keys and values Lunaveil does not know are kept as they are.

#include "settings/DefaultsFormat.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace lunaveil {

class KeyValueDataAccess {
public:
    explicit KeyValueDataAccess(std::filesystem::path file);
    // Saves what could not be saved yet, waiting a little for another process's lock.
    ~KeyValueDataAccess();
    KeyValueDataAccess(const KeyValueDataAccess&) = delete;
    KeyValueDataAccess& operator=(const KeyValueDataAccess&) = delete;

    // The stored value, or nothing when the key is absent or holds something unrecognised.
    std::optional<StoredValue> getValue(const QString& key) const;
    // Both write one key and make it durable before returning, unless another process holds the
    // lock past a short wait: the change then holds in memory and is saved from the event loop.
    // The last write wins.
    void setValue(const QString& key, const StoredValue& value);
    void setDataValue(const QString& key, const StoredValue& value);
    void removeValue(const QString& key);

    const std::filesystem::path& file() const { return file_; }

    // Called with the name a damaged file was kept under once it has been set aside.
    std::function<void(const std::filesystem::path& keptAs)> onSetAside;

private:
    // Why the file a link at the settings path names is none Lunaveil may read, replace or set
    // aside (a device, a FIFO, another user's file); nothing when it is the user's regular file,
    // absent, or no link leads there.
    std::optional<std::string> foreignTarget() const;
    // Writes every kept change; false when they are still kept (or could not be written).
    bool save(std::chrono::milliseconds patience);
    void retryLater();

    // The file's contents; a damaged one is set aside only by a holder of the lock.
    QJsonObject load(bool maySetAside) const;
    void moveAside(const char* reason) const;
    static void removeStaleTemporaries(const std::filesystem::path& file);
    void update(const QString& key, const std::optional<StoredValue>& value);
    // Beside `target`, the file the settings path finally names, so that writers through a link
    // and writers of its target exclude each other.
    static std::filesystem::path lockPath(const std::filesystem::path& target);

    std::filesystem::path file_;
    // Changes that could not be saved, which the reads of this session still see.
    std::map<QString, std::optional<StoredValue>> unsaved_;
    bool unsavedReported_ = false;
    std::unique_ptr<QTimer> retry_;
};

}  // namespace lunaveil
