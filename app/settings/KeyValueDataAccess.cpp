#include "KeyValueDataAccess.h"

#include "platform/DurableFile.h"
#include "platform/FileLock.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtGlobal>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace lunaveil {
namespace {

// How long a write waits for another Lunaveil's lock on the UI thread, and at quit.
constexpr std::chrono::milliseconds writePatience{200};
constexpr std::chrono::milliseconds quitPatience{1000};
constexpr std::chrono::seconds retryInterval{1};

// The lock on `path`, taken within `patience`; a lock not held when the lock file cannot even be
// opened (the write goes ahead, as without locking); nothing when another process kept it.
std::optional<FileLock> lockWithin(const std::filesystem::path& path, std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd)
            return FileLock(UniqueFd());
        FileLock lock(std::move(fd));
        if (lock.held())
            return lock;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A settings file is a few hundred bytes; anything this large is not ours.
constexpr off_t maxFileSize = 1 << 20;

std::optional<QByteArray> readRegularFile(const std::filesystem::path& path, bool& missing)
{
    // O_NONBLOCK so that a FIFO put in the file's place cannot hang us.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    missing = !fd && errno == ENOENT;
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxFileSize)
        return std::nullopt;

    QByteArray contents;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return contents;
        contents.append(buffer, got);
        if (contents.size() > maxFileSize)
            return std::nullopt;
    }
}

}  // namespace

KeyValueDataAccess::KeyValueDataAccess(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path KeyValueDataAccess::lockPath(const std::filesystem::path& target)
{
    return target.parent_path() / (target.filename().string() + ".lock");
}

std::optional<std::string> KeyValueDataAccess::foreignTarget() const
{
    // What stands at the path itself is in the user's own folder, and is set aside when unusable.
    std::error_code error;
    if (!std::filesystem::is_symlink(file_, error))
        return std::nullopt;
    const std::filesystem::path target = followLinks(file_);
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(target.native() + " cannot be examined");
    if (!S_ISREG(info.st_mode))
        return target.native() + " is not a regular file";
    if (info.st_uid != ::geteuid())
        return target.native() + " belongs to another user";
    return std::nullopt;
}

std::optional<StoredValue> KeyValueDataAccess::getValue(const QString& key) const
{
    if (const auto kept = unsaved_.find(key); kept != unsaved_.end())
        return kept->second;
    // Whatever stands behind a link that is not the user's file is left alone: the defaults hold.
    if (foreignTarget())
        return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::exists(file_.parent_path(), ec))
        return std::nullopt;
    // Writes are atomic renames, so a read needs no lock; only setting a damaged file aside does,
    // so that it never takes away a file a writer has just put in its place.
    const FileLock lock(lockPath(followLinks(file_)));
    const QJsonObject all = load(lock.held());
    const auto found = all.constFind(key);
    return found == all.constEnd() ? std::nullopt : decodeValue(*found);
}

void KeyValueDataAccess::setValue(const QString& key, const StoredValue& value)
{
    update(key, value);
}

void KeyValueDataAccess::setDataValue(const QString& key, const StoredValue& value)
{
    update(key, value);
}

void KeyValueDataAccess::removeValue(const QString& key)
{
    update(key, std::nullopt);
}

void KeyValueDataAccess::update(const QString& key, const std::optional<StoredValue>& value)
{
    unsaved_.insert_or_assign(key, value);
    // Without an event loop there is no UI to keep responsive, and no later turn to retry in.
    save(QCoreApplication::instance() != nullptr ? writePatience : quitPatience);
}

KeyValueDataAccess::~KeyValueDataAccess()
{
    if (!unsaved_.empty())
        save(quitPatience);
}

bool KeyValueDataAccess::save(std::chrono::milliseconds patience)
{
    if (const auto foreign = foreignTarget()) {
        if (!std::exchange(unsavedReported_, true))
            qWarning("Lunaveil: the settings cannot be saved, as %s; changes hold until Lunaveil quits.",
                     foreign->c_str());
        return false;
    }
    if (!makeDirectories(file_.parent_path())) {
        qWarning("Lunaveil: cannot create the settings folder %s: %s; the setting was not saved.",
                 file_.parent_path().c_str(), std::strerror(errno));
        unsaved_.clear();
        return false;
    }
    // Read, change and replace under one lock, so two Lunaveil processes never lose each other's
    // keys. A lock another process holds is waited for only briefly; the change is kept and
    // tried again from the event loop.
    const std::filesystem::path target = followLinks(file_);
    const std::optional<FileLock> lock = lockWithin(lockPath(target), patience);
    if (!lock) {
        retryLater();
        return false;
    }
    removeStaleTemporaries(target);
    QJsonObject all = load(true);
    for (const auto& [key, value] : std::exchange(unsaved_, {})) {
        if (value)
            all.insert(key, encodeValue(*value));
        else
            all.remove(key);
    }
    const QByteArray text = serialiseDefaults(all);
    if (!writeFileDurably(target, std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        qWarning("Lunaveil: cannot save the settings file %s: %s.", file_.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void KeyValueDataAccess::retryLater()
{
    if (QCoreApplication::instance() == nullptr)
        return;
    if (!retry_) {
        retry_ = std::make_unique<QTimer>();
        retry_->setSingleShot(true);
        QObject::connect(retry_.get(), &QTimer::timeout, retry_.get(), [this] {
            if (!unsaved_.empty())
                save(writePatience);
        });
    }
    retry_->start(retryInterval);
}

void KeyValueDataAccess::removeStaleTemporaries(const std::filesystem::path& file)
{
    // Every writer holds the lock until its temporary file is renamed into place, so one found
    // now was left by a writer that was killed half way.
    const std::string prefix = temporaryFilePrefix(file);
    std::error_code error;
    for (std::filesystem::directory_iterator it(file.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            ::unlink(it->path().c_str());
    }
}

QJsonObject KeyValueDataAccess::load(bool maySetAside) const
{
    bool missing = false;
    const std::optional<QByteArray> contents = readRegularFile(file_, missing);
    if (missing)
        return {};
    if (!contents) {
        if (maySetAside)
            moveAside("it is not a readable settings file");
        return {};
    }
    std::optional<QJsonObject> parsed = parseDefaults(*contents);
    if (!parsed) {
        if (maySetAside)
            moveAside("it is damaged");
        return {};
    }
    return *std::move(parsed);
}

void KeyValueDataAccess::moveAside(const char* reason) const
{
    // Keep the damaged file for the user under a name no earlier one has taken.
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &local);
    // Behind links it is the file they name that goes aside: the links stay for the next write.
    const std::filesystem::path file = followLinks(file_);
    const std::string base = file.string() + ".damaged-" + stamp;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            qWarning("Lunaveil: the settings file %s was set aside as %s because %s; Lunaveil starts from its defaults.",
                     file.c_str(), target.c_str(), reason);
            if (const auto callback = onSetAside)
                callback(target);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    qWarning("Lunaveil: the settings file %s is unusable (%s) and could not be set aside: %s.", file.c_str(), reason,
             std::strerror(errno));
}

}  // namespace lunaveil
