#include "platform/desktop/QtLogSink.h"

#include <QDebug>

#include <map>
#include <memory>
#include <mutex>

#include "common/Log.h"

namespace trellick::desktop {

namespace {

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Qt calls this for every category when it is created and whenever the rules change: the
// core's switches follow the rules, so its debug check never has to ask Qt.
void followRules(QLoggingCategory* category) {
    if (previousFilter) previousFilter(category);
    log::setDebugEnabled(category->categoryName(), category->isDebugEnabled());
}

}  // namespace

const QLoggingCategory& loggingCategory(const std::string& name) {
    static std::mutex mutex;
    // Never freed: a category may be used by late warnings during shutdown. Map nodes
    // do not move, so each key can stay the category's name storage.
    static auto* categories = new std::map<std::string, std::unique_ptr<QLoggingCategory>>();
    std::lock_guard lock(mutex);
    auto [it, inserted] = categories->try_emplace(name);
    if (inserted) it->second = std::make_unique<QLoggingCategory>(it->first.c_str(), QtWarningMsg);
    return *it->second;
}

void installQtLogSink() {
    static std::once_flag once;
    std::call_once(once, [] { previousFilter = QLoggingCategory::installFilter(followRules); });
    for (log::Category* c : log::categories()) loggingCategory(c->name());  // applies the rules
    log::setSink([](const std::string& category, const std::string& message) {
        const QLoggingCategory& cat = loggingCategory(category);
        if (!cat.isWarningEnabled()) return;
        // A warning is a sentence for the user that names the program once ("Trellick: ...");
        // Qt's pattern would put the category before it as a second prefix.
        bool named = message.rfind("Trellick", 0) == 0 || message.rfind("trellick", 0) == 0;
        QMessageLogger().warning().noquote() << QString::fromStdString(named ? message : "Trellick: " + message);
    });
    log::setDebugSink([](const std::string& category, const std::string& message) {
        const QLoggingCategory& cat = loggingCategory(category);
        QMessageLogger(nullptr, 0, nullptr, cat.categoryName()).debug(cat).noquote() << QString::fromStdString(message);
    });
}

}  // namespace trellick::desktop
