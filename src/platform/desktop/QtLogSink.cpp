#include "platform/desktop/QtLogSink.h"

#include <QDebug>

#include <map>
#include <memory>
#include <mutex>

#include "common/Log.h"

namespace trellick {

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
    log::setSink([](const std::string& category, const std::string& message) {
        const QLoggingCategory& cat = loggingCategory(category);
        if (cat.isWarningEnabled()) {
            QMessageLogger(nullptr, 0, nullptr, cat.categoryName()).warning(cat).noquote()
                << QString::fromStdString(message);
        }
    });
}

}  // namespace trellick
