#pragma once
// The preferences file: $XDG_CONFIG_HOME/trellick/preferences.json, one JSON object whose keys
// are the preference keys. Read once at construction; every change rewrites the whole file
// atomically with mode 0600, keeping keys this version does not know. Main thread only.

#include <QJsonValue>
#include <QString>

#include <map>
#include <optional>
#include <string>

#include "settings/PreferencesStore.h"

namespace trellick {

// A JSON value as a preference value (null and undefined become an empty value).
PrefValue prefValueFromJson(const QJsonValue& json);

class JsonPreferencesStore : public PreferencesStore {
public:
    // The user's file.
    JsonPreferencesStore();
    // Another file (tests, or a profile chosen on the command line).
    explicit JsonPreferencesStore(QString path);
    ~JsonPreferencesStore() override;
    JsonPreferencesStore(const JsonPreferencesStore&) = delete;
    JsonPreferencesStore& operator=(const JsonPreferencesStore&) = delete;

    static QString defaultPath();

    std::optional<PrefValue> object(const std::string& key) const override;
    void set(const std::string& key, PrefValue value) override;
    void remove(const std::string& key) override;

    const QString& path() const { return path_; }
    // False while a change is held only in memory because writing the file failed; the next
    // change (or destruction) tries again.
    bool isSaved() const { return !dirty_; }

private:
    void load();
    void save();
    std::optional<std::string> setAsideUnreadableFile();
    QString freeBadPath() const;
    void warnSaveFailed(const std::string& reason);
    void warnOnce(const std::string& message);

    QString path_;
    std::map<std::string, PrefValue> values_;
    bool dirty_ = false;
    // The file on disk could not be read as preferences: it is moved aside, never
    // overwritten, before the first write.
    bool setAsidePending_ = false;
    std::string lastWarning_;
};

}  // namespace trellick
