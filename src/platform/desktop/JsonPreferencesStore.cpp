#include "platform/desktop/JsonPreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStandardPaths>

#include "common/Log.h"
#include "platform/desktop/FileUtil.h"

namespace trellick {
namespace {

constexpr const char* kCategory = "trellick.settings";

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
    load();
}

JsonPreferencesStore::~JsonPreferencesStore() {
    // A change that could not be written is worth one more try before it is gone.
    if (dirty_) save();
}

QString JsonPreferencesStore::defaultPath() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/trellick/preferences.json");
}

std::optional<PrefValue> JsonPreferencesStore::object(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void JsonPreferencesStore::set(const std::string& key, PrefValue value) {
    values_[key] = std::move(value);
    dirty_ = true;
    save();
}

void JsonPreferencesStore::remove(const std::string& key) {
    values_.erase(key);
    dirty_ = true;
    save();
}

void JsonPreferencesStore::load() {
    QFileInfo info(path_);
    if (!info.exists() && !info.isSymLink()) return;  // first run: defaults, nothing to keep

    QString problem;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot be read (%1)").arg(file.errorString());
    } else {
        QJsonParseError error{};
        auto doc = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError) {
            problem = QStringLiteral("is not valid JSON (%1 at offset %2)").arg(error.errorString()).arg(error.offset);
        } else if (!doc.isObject()) {
            problem = QStringLiteral("does not hold a JSON object");
        } else {
            const auto root = doc.object();
            for (auto it = root.begin(); it != root.end(); ++it) {
                values_[it.key().toStdString()] = prefValueFromJson(it.value());
            }
            return;
        }
    }
    setAsidePending_ = true;
    warnOnce("Trellick: preferences file " + path_.toStdString() + " " + problem.toStdString() +
             "; using defaults. It will be kept as " + freeBadPath().toStdString() + " before any setting is saved.");
}

QString JsonPreferencesStore::freeBadPath() const {
    QString candidate = path_ + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n) {
        candidate = path_ + QStringLiteral(".bad.%1").arg(n);
    }
    return candidate;
}

std::optional<std::string> JsonPreferencesStore::setAsideUnreadableFile() {
    QFileInfo info(path_);
    if (!info.exists() && !info.isSymLink()) return std::nullopt;  // already gone
    QString bad = freeBadPath();
    // QFile::rename refuses to replace an existing file, so an earlier .bad copy survives.
    QFile file(path_);
    if (!file.rename(bad)) {
        return "could not keep the unreadable file " + path_.toStdString() + " as " + bad.toStdString() + ": " +
               file.errorString().toStdString();
    }
    return std::nullopt;
}

void JsonPreferencesStore::save() {
    if (setAsidePending_) {
        if (auto error = setAsideUnreadableFile()) {
            warnSaveFailed(*error);
            return;
        }
        setAsidePending_ = false;
    }

    QJsonObject root;
    for (const auto& [key, value] : values_) root.insert(QString::fromStdString(key), toJson(value));
    auto data = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (auto error = desktop::writeFileAtomically(path_, data, 0600)) {
        warnSaveFailed(*error);
        return;
    }
    dirty_ = false;
    lastWarning_.clear();
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

}  // namespace trellick
