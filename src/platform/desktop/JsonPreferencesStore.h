#pragma once
// The preferences file: $XDG_CONFIG_HOME/trellick/preferences.json, one JSON object whose keys
// are the preference keys.
//
// The file is shared: a hand edit, a dotfiles tool or a second Trellick may change it while this
// one runs. So every write takes an advisory lock (flock on preferences.json.lock beside the
// file), reads the file again and changes only the keys this process changed since its last
// successful write; every other member goes back as the text it was read as (so its type and
// every digit of a large integer survive). The file is replaced atomically with mode 0600, through
// a symbolic link when it is one. Something that is not a regular file (a FIFO, a device) is
// never opened nor replaced. Once watching, changes made by others are read back and announced
// through onChangedByOthers(). Main thread only.

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Result.h"
#include "settings/PreferencesStore.h"

class QFileSystemWatcher;
class QTimer;

namespace trellick::desktop {

// A JSON value as a preference value (null and undefined become an empty value).
PrefValue prefValueFromJson(const QJsonValue& json);

class JsonPreferencesStore : public PreferencesStore {
public:
    // A file beyond this is set aside as unreadable: settings are a few KiB, and a larger file
    // would be read and rewritten on the main thread at every change.
    static constexpr qint64 maxFileBytes = qint64(1) << 20;

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
    void update(const std::string& key, const PrefUpdate& fn) override;
    bool flush() override;

    // Watches the file, the folder it is in (an atomic replace by another writer swaps the
    // file's inode) and, for a link, its target; a change is read back shortly after. Needs
    // the Qt event loop of the calling thread.
    void startWatching();
    // Reads the file again and announces the keys whose values others changed.
    void reload();

    const QString& path() const { return path_; }
    // False while a change is held only in memory because writing the file failed; the next
    // change, flush() or destruction tries again.
    bool isSaved() const { return pending_.empty(); }

private:
    // A top-level member as its text stands in the file.
    struct Member {
        std::string key;
        QByteArray text;
    };
    struct Contents {
        std::vector<Member> members;  // in file order
        PrefObject values;
    };
    enum class ReadStatus { ok, missing, notRegular, bad };
    // This process's changes to one key since its last successful write. They are applied
    // again to whatever the file holds when it changes underneath.
    struct Pending {
        std::vector<PrefUpdate> steps;   // oldest first
        std::optional<PrefValue> input;  // the stored value they were last applied to
        std::optional<PrefValue> output;
    };

    void change(const std::string& key, PrefUpdate step, bool replacesEarlier);
    void save();
    QString target() const;
    ReadStatus read(Contents& contents, QString& problem) const;
    // The bytes of the file `name`, never opened unless it is a regular file.
    static ReadStatus readBytes(const QByteArray& name, QByteArray& data, QString& problem);
    // The top-level members of the JSON object in `data`, with each one's own text.
    static ReadStatus parse(const QByteArray& data, Contents& contents, QString& problem);
    // Takes `contents` as what the file now holds; returns the keys whose values changed.
    std::vector<std::string> adopt(Contents contents);
    void recomputeValues();
    const std::optional<PrefValue>& applyPending(Pending& pending, const std::optional<PrefValue>& stored);
    Result<> setAside(const QString& file);
    QString freeBadPath(const QString& file) const;
    void warnBadFile(const QString& problem, bool atStart);
    void warnNotRegular();
    void warnSaveFailed(const std::string& reason);
    void warnOnce(const std::string& message);
    void watchPaths();

    QString path_;
    Contents base_;  // the file as last read or written, when it could be read
    std::map<std::string, Pending> pending_;
    PrefObject values_;  // base_ with the pending changes applied: what object() reads
    bool badFileReported_ = false;
    bool notRegularReported_ = false;
    std::string lastWarning_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::unique_ptr<QTimer> reloadTimer_;
};

}  // namespace trellick::desktop
