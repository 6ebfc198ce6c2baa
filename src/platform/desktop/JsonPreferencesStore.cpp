#include "platform/desktop/JsonPreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStandardPaths>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

#include "common/Log.h"
#include "platform/desktop/FileUtil.h"

namespace trellick::desktop {
namespace {

constexpr const char* kCategory = "trellick.settings";
// Another writer holds the lock only for one read and one replace; longer means it is stuck.
constexpr int kLockPatienceMs = 2000;
// Writers touch the folder several times per replace (temporary file, rename): read once they settle.
constexpr int kReloadDelayMs = 50;

QJsonValue toJson(const PrefValue& value) {
    if (auto b = value.asBool()) return QJsonValue(*b);
    if (auto d = value.asNumber()) return QJsonValue(*d);
    if (auto s = value.asString()) return QJsonValue(QString::fromStdString(*s));
    if (auto a = value.asArray()) {
        QJsonArray array;
        for (const auto& element : *a) array.append(toJson(element));
        return array;
    }
    if (auto o = value.asObject()) {
        QJsonObject object;
        for (const auto& [k, v] : *o) object.insert(QString::fromStdString(k), toJson(v));
        return object;
    }
    return QJsonValue(QJsonValue::Null);
}

// The text of a value as a member of the top-level object: Qt writes "[\n    VALUE\n]\n" for
// a one-element array, with VALUE's later lines already indented for that depth.
QByteArray memberText(const QJsonValue& value) {
    QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Indented);
    return text.mid(6, text.size() - 6 - 3);
}

QByteArray keyText(const std::string& key) {
    QByteArray text = QJsonDocument(QJsonArray{QString::fromStdString(key)}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

std::string decodeKey(const QByteArray& text) {
    return QJsonDocument::fromJson("[" + text + "]").array().at(0).toString().toStdString();
}

// Splits the text of a JSON object that the parser has accepted into its top-level members,
// key and value each as the text they stand as. Nothing when the text is not as expected.
class MemberScanner {
public:
    explicit MemberScanner(const QByteArray& s) : s_(s) {}

    std::optional<std::vector<std::pair<QByteArray, QByteArray>>> scan() {
        if (s_.startsWith("\xef\xbb\xbf")) i_ = 3;  // the parser accepts a byte order mark
        std::vector<std::pair<QByteArray, QByteArray>> members;
        if (!skip('{')) return std::nullopt;
        if (skip('}')) return members;
        for (;;) {
            space();
            qsizetype key = i_;
            if (!string()) return std::nullopt;
            QByteArray keyText = s_.mid(key, i_ - key);
            if (!skip(':')) return std::nullopt;
            space();
            qsizetype value = i_;
            if (!this->value()) return std::nullopt;
            members.emplace_back(std::move(keyText), s_.mid(value, i_ - value));
            if (skip(',')) continue;
            if (skip('}')) return members;
            return std::nullopt;
        }
    }

private:
    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
    }
    bool skip(char c) {
        space();
        if (i_ >= s_.size() || s_[i_] != c) return false;
        ++i_;
        return true;
    }
    bool string() {
        if (i_ >= s_.size() || s_[i_] != '"') return false;
        for (++i_; i_ < s_.size();) {
            char c = s_[i_++];
            if (c == '\\')
                ++i_;
            else if (c == '"')
                return true;
        }
        return false;
    }
    bool value() {
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '"') return string();
        if (c == '{' || c == '[') {
            for (int depth = 0; i_ < s_.size();) {
                char d = s_[i_];
                if (d == '"') {
                    if (!string()) return false;
                    continue;
                }
                ++i_;
                if (d == '{' || d == '[')
                    ++depth;
                else if ((d == '}' || d == ']') && --depth == 0)
                    return true;
            }
            return false;
        }
        qsizetype start = i_;  // number, true, false, null
        while (i_ < s_.size() && !std::strchr(",}] \t\n\r", s_[i_])) ++i_;
        return i_ > start;
    }

    const QByteArray& s_;
    qsizetype i_ = 0;
};

// The text with every number a double cannot hold (1e999, -1e999, 1e-999) as null. Qt refuses the whole document over
// one such number, which would set the user's file aside for one hand-typed value; this way only that key reads as
// unset. Nothing when no number needed it.
std::optional<QByteArray> withNumbersInRange(const QByteArray& s) {
    QByteArray out;
    bool changed = false;
    for (qsizetype i = 0; i < s.size();) {
        char c = s[i];
        if (c == '"') {  // a string, escapes included, goes across as it is
            qsizetype end = i + 1;
            while (end < s.size() && s[end] != '"') end += s[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, s.size());
            out += s.mid(i, end - i);
            i = end;
            continue;
        }
        if (c != '-' && (c < '0' || c > '9')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < s.size() && s[end] != '\0' && std::strchr("+-.0123456789eE", s[end])) ++end;
        double value = 0;
        auto [_, error] = std::from_chars(s.constData() + i, s.constData() + end, value);
        if (error == std::errc::result_out_of_range) {
            out += "null";
            changed = true;
        } else {
            out += s.mid(i, end - i);
        }
        i = end;
    }
    return changed ? std::optional(out) : std::nullopt;
}

QByteArray serialise(const std::vector<std::pair<std::string, QByteArray>>& members) {
    QByteArray out = "{";
    for (std::size_t i = 0; i < members.size(); ++i) {
        out += i == 0 ? "\n    " : ",\n    ";
        out += keyText(members[i].first) + ": " + members[i].second;
    }
    return out + "\n}\n";
}

const std::optional<PrefValue> kAbsent;

std::optional<PrefValue> valueIn(const PrefObject& values, const std::string& key) {
    auto it = values.find(key);
    return it == values.end() ? kAbsent : std::optional<PrefValue>(it->second);
}

// The advisory lock that keeps writers of one preferences file from interleaving. Closing the
// descriptor releases it, also when the holder is killed.
class WriteLock {
public:
    WriteLock() = default;
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    ~WriteLock() {
        if (fd_ >= 0) ::close(fd_);
    }

    // Succeeds when held, and when no lock can be had here (a read-only folder, a file system
    // without locks: the replace is atomic all the same); else says why writing must wait.
    Result<> acquire(const QString& path) {
        if (auto made = makeDirectories(QFileInfo(path).path()); !made) return made;
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd_ < 0) return {};
        for (int waited = 0;;) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return {};
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) return {};
            if (waited >= kLockPatienceMs)
                return Error{"another process has held " + path.toStdString() + " for too long"};
            ::usleep(5000);
            waited += 5;
        }
    }

private:
    int fd_ = -1;
};

}  // namespace

PrefValue prefValueFromJson(const QJsonValue& json) {
    switch (json.type()) {
    case QJsonValue::Bool:
        return PrefValue(json.toBool());
    case QJsonValue::Double:
        return PrefValue(json.toDouble());
    case QJsonValue::String:
        return PrefValue(json.toString().toStdString());
    case QJsonValue::Array: {
        PrefArray array;
        for (const auto& element : json.toArray()) array.push_back(prefValueFromJson(element));
        return PrefValue(std::move(array));
    }
    case QJsonValue::Object: {
        PrefObject object;
        const auto o = json.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) object[it.key().toStdString()] = prefValueFromJson(it.value());
        return PrefValue(std::move(object));
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return PrefValue();
}

JsonPreferencesStore::JsonPreferencesStore() : JsonPreferencesStore(defaultPath()) {}

JsonPreferencesStore::JsonPreferencesStore(QString path) : path_(std::move(path)) {
    Contents contents;
    QString problem;
    switch (read(contents, problem)) {
    case ReadStatus::ok:
        base_ = std::move(contents);
        break;
    case ReadStatus::missing:  // first run: defaults, nothing to keep
        break;
    case ReadStatus::notRegular:
        warnNotRegular();
        break;
    case ReadStatus::bad:
        warnBadFile(problem, true);
        break;
    }
    values_ = base_.values;
}

JsonPreferencesStore::~JsonPreferencesStore() {
    // A change that could not be written is worth one more try before it is gone.
    save();
}

QString JsonPreferencesStore::defaultPath() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/trellick/preferences.json");
}

std::optional<PrefValue> JsonPreferencesStore::object(const std::string& key) const {
    return valueIn(values_, key);
}

void JsonPreferencesStore::set(const std::string& key, PrefValue value) {
    change(
        key, [value = std::move(value)](const std::optional<PrefValue>&) { return std::optional(value); }, true);
}

void JsonPreferencesStore::remove(const std::string& key) {
    change(
        key, [](const std::optional<PrefValue>&) { return kAbsent; }, true);
}

void JsonPreferencesStore::update(const std::string& key, const PrefUpdate& fn) {
    change(key, fn, false);
}

bool JsonPreferencesStore::flush() {
    save();
    return pending_.empty();
}

void JsonPreferencesStore::change(const std::string& key, PrefUpdate step, bool replacesEarlier) {
    auto [it, fresh] = pending_.try_emplace(key);
    Pending& pending = it->second;
    if (fresh || replacesEarlier) {
        pending.steps.clear();
        pending.input = valueIn(base_.values, key);
        pending.output = pending.input;
    }
    pending.output = step(pending.output);
    pending.steps.push_back(std::move(step));
    if (pending.output)
        values_[key] = *pending.output;
    else
        values_.erase(key);
    save();
}

const std::optional<PrefValue>& JsonPreferencesStore::applyPending(Pending& pending,
                                                                   const std::optional<PrefValue>& stored) {
    if (stored != pending.input) {
        std::optional<PrefValue> value = stored;
        for (const auto& step : pending.steps) value = step(value);
        pending.input = stored;
        pending.output = std::move(value);
    }
    return pending.output;
}

void JsonPreferencesStore::recomputeValues() {
    values_ = base_.values;
    for (auto& [key, pending] : pending_) {
        if (const auto& value = applyPending(pending, valueIn(base_.values, key)))
            values_[key] = *value;
        else
            values_.erase(key);
    }
}

std::vector<std::string> JsonPreferencesStore::adopt(Contents contents) {
    PrefObject before = std::move(values_);
    base_ = std::move(contents);
    recomputeValues();
    std::vector<std::string> changed;
    for (const auto& [key, value] : values_) {
        auto it = before.find(key);
        if (it == before.end() || it->second != value) changed.push_back(key);
    }
    for (const auto& [key, value] : before) {
        if (!values_.count(key)) changed.push_back(key);
    }
    return changed;
}

QString JsonPreferencesStore::target() const {
    // A link (into a dotfiles repository, say) stays a link: its target is read and replaced.
    QFileInfo info(path_);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth) info.setFile(info.symLinkTarget());
    return info.filePath();
}

JsonPreferencesStore::ReadStatus JsonPreferencesStore::read(Contents& contents, QString& problem) const {
    QByteArray data;
    ReadStatus status = readBytes(QFile::encodeName(target()), data, problem);
    if (status != ReadStatus::ok) return status;
    return parse(data, contents, problem);
}

JsonPreferencesStore::ReadStatus JsonPreferencesStore::readBytes(const QByteArray& name, QByteArray& data,
                                                                 QString& problem) {
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ReadStatus::missing;
        if (errno == ELOOP) return ReadStatus::notRegular;
        problem = QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return ReadStatus::bad;
    }
    // A FIFO or a device is never opened: reading one could block for ever or have effects.
    if (!S_ISREG(st.st_mode)) return ReadStatus::notRegular;
    const QString tooLarge = QStringLiteral("is larger than %1 MiB").arg(maxFileBytes >> 20);
    if (st.st_size > maxFileBytes) {
        problem = tooLarge;
        return ReadStatus::bad;
    }
    // Non-blocking, and checked again once open, for a FIFO swapped in meanwhile.
    int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        problem = QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return ReadStatus::bad;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::notRegular;
    }
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return ReadStatus::bad;
        }
        data.append(buffer, n);
        if (data.size() > maxFileBytes) {  // grown since it was measured
            problem = tooLarge;
            ::close(fd);
            return ReadStatus::bad;
        }
    }
    ::close(fd);
    return ReadStatus::ok;
}

JsonPreferencesStore::ReadStatus JsonPreferencesStore::parse(const QByteArray& data, Contents& contents,
                                                             QString& problem) {
    QJsonParseError error{};
    auto doc = QJsonDocument::fromJson(data, &error);
    if (error.error == QJsonParseError::IllegalNumber) {
        if (auto inRange = withNumbersInRange(data)) doc = QJsonDocument::fromJson(*inRange, &error);
    }
    if (error.error != QJsonParseError::NoError) {
        problem = QStringLiteral("is not valid JSON (%1 at offset %2)").arg(error.errorString()).arg(error.offset);
        return ReadStatus::bad;
    }
    if (!doc.isObject()) {
        problem = QStringLiteral("does not hold a JSON object");
        return ReadStatus::bad;
    }
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it)
        contents.values[it.key().toStdString()] = prefValueFromJson(it.value());

    // The members' own text: Qt would turn 18446744073709551615 into 18446744073709552000.
    if (auto scanned = MemberScanner(data).scan()) {
        for (auto& [rawKey, text] : *scanned) {
            std::string key = decodeKey(rawKey);
            auto same = std::find_if(contents.members.begin(), contents.members.end(),
                                     [&](const Member& m) { return m.key == key; });
            if (same != contents.members.end())
                same->text = std::move(text);  // of a repeated key the last counts, as for the parser
            else
                contents.members.push_back({std::move(key), std::move(text)});
        }
    }
    bool agrees = contents.members.size() == contents.values.size() &&
                  std::all_of(contents.members.begin(), contents.members.end(),
                              [&](const Member& m) { return contents.values.count(m.key) == 1; });
    if (!agrees) {
        contents.members.clear();
        for (auto it = root.begin(); it != root.end(); ++it)
            contents.members.push_back({it.key().toStdString(), memberText(it.value())});
    }
    return ReadStatus::ok;
}

void JsonPreferencesStore::save() {
    if (pending_.empty()) return;
    std::vector<std::string> changed;
    {
        WriteLock lock;
        if (auto held = lock.acquire(path_ + QStringLiteral(".lock")); !held) {
            warnSaveFailed(held.error().reason);
            return;
        }
        Contents current;
        QString problem;
        switch (read(current, problem)) {
        case ReadStatus::ok:
            changed = adopt(std::move(current));
            badFileReported_ = notRegularReported_ = false;
            break;
        case ReadStatus::missing:
            changed = adopt({});
            badFileReported_ = notRegularReported_ = false;
            break;
        case ReadStatus::notRegular:
            warnNotRegular();  // and never written over; the changes stay in memory
            return;
        case ReadStatus::bad:
            // Kept aside, and the last contents read stand in for it.
            if (!badFileReported_) warnBadFile(problem, false);
            if (auto kept = setAside(target()); !kept) {
                warnSaveFailed(kept.error().reason);
                return;
            }
            badFileReported_ = false;
            break;
        }

        // Each member in its place; the changed ones as this process has them, new ones last.
        std::vector<std::pair<std::string, QByteArray>> members;
        for (const auto& m : base_.members) {
            auto own = pending_.find(m.key);
            if (own == pending_.end())
                members.emplace_back(m.key, m.text);
            else if (own->second.output)
                members.emplace_back(m.key, memberText(toJson(*own->second.output)));
        }
        for (const auto& [key, pending] : pending_) {
            if (pending.output && !base_.values.count(key))
                members.emplace_back(key, memberText(toJson(*pending.output)));
        }
        if (auto written = writeFileAtomically(target(), serialise(members), 0600); !written) {
            warnSaveFailed(written.error().reason);
        } else {
            base_.members.clear();
            for (auto& [key, text] : members) base_.members.push_back({key, std::move(text)});
            base_.values = values_;
            pending_.clear();
            lastWarning_.clear();
        }
    }
    if (watcher_) watchPaths();
    notifyChangedByOthers(changed);
}

void JsonPreferencesStore::reload() {
    Contents current;
    QString problem;
    std::vector<std::string> changed;
    switch (read(current, problem)) {
    case ReadStatus::ok:
        changed = adopt(std::move(current));
        badFileReported_ = notRegularReported_ = false;
        break;
    case ReadStatus::missing:  // removed: what others stored is gone
        changed = adopt({});
        badFileReported_ = notRegularReported_ = false;
        break;
    case ReadStatus::notRegular:
        warnNotRegular();
        break;
    case ReadStatus::bad:  // perhaps half written by an editor: the settings in use stay
        if (!badFileReported_) warnBadFile(problem, false);
        break;
    }
    if (watcher_) watchPaths();
    notifyChangedByOthers(changed);
}

QString JsonPreferencesStore::freeBadPath(const QString& file) const {
    QString candidate = file + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n) {
        candidate = file + QStringLiteral(".bad.%1").arg(n);
    }
    return candidate;
}

Result<> JsonPreferencesStore::setAside(const QString& file) {
    QString bad = freeBadPath(file);
    // QFile::rename refuses to replace an existing file, so an earlier .bad copy survives.
    QFile f(file);
    if (!f.rename(bad)) {
        return Error{"could not keep the unreadable file " + file.toStdString() + " as " + bad.toStdString() + ": " +
                     f.errorString().toStdString()};
    }
    return {};
}

void JsonPreferencesStore::warnBadFile(const QString& problem, bool atStart) {
    badFileReported_ = true;
    const QString file = target();
    warnOnce("Trellick: preferences file " + path_.toStdString() + " " + problem.toStdString() +
             (atStart ? "; using defaults." : "; keeping the settings in use.") + " It will be kept as " +
             freeBadPath(file).toStdString() + " before any setting is saved.");
}

void JsonPreferencesStore::warnNotRegular() {
    if (notRegularReported_) return;
    notRegularReported_ = true;
    warnOnce("Trellick: preferences file " + path_.toStdString() +
             " is not a regular file; Trellick leaves it alone: settings are not read from it and changes are "
             "not saved.");
}

void JsonPreferencesStore::warnSaveFailed(const std::string& reason) {
    warnOnce("Trellick: could not save preferences to " + path_.toStdString() + " (" + reason +
             "); the change is kept in memory and saved with the next one.");
}

void JsonPreferencesStore::warnOnce(const std::string& message) {
    // A slider dragged across a full disk would otherwise repeat the same line per step.
    if (message == lastWarning_) return;
    lastWarning_ = message;
    log::warning(kCategory, message);
}

void JsonPreferencesStore::startWatching() {
    if (watcher_) return;
    watcher_ = std::make_unique<QFileSystemWatcher>();
    reloadTimer_ = std::make_unique<QTimer>();
    reloadTimer_->setSingleShot(true);
    reloadTimer_->setInterval(kReloadDelayMs);
    QObject::connect(reloadTimer_.get(), &QTimer::timeout, reloadTimer_.get(), [this] { reload(); });
    auto changed = [this] { reloadTimer_->start(); };
    QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, watcher_.get(), changed);
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(), changed);
    watchPaths();
}

void JsonPreferencesStore::watchPaths() {
    // The file itself, and the folders where a replacement appears: beside the name and, for a
    // link, beside its target. A folder not made yet is watched through its nearest ancestor.
    QStringList wanted;
    auto addFileAndFolder = [&wanted](const QString& file) {
        if (QFileInfo::exists(file)) wanted << file;
        QString dir = QFileInfo(file).absolutePath();
        while (!QFileInfo(dir).isDir() && QFileInfo(dir).path() != dir) dir = QFileInfo(dir).path();
        wanted << dir;
    };
    addFileAndFolder(path_);
    if (QString t = target(); t != path_) addFileAndFolder(t);
    wanted.removeDuplicates();
    const QStringList watched = watcher_->files() + watcher_->directories();
    for (const auto& p : watched) {
        if (!wanted.contains(p)) watcher_->removePath(p);
    }
    for (const auto& p : wanted) {
        if (!watched.contains(p)) watcher_->addPath(p);
    }
}

}  // namespace trellick::desktop
