#include "platform/desktop/GioDesktopEntries.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "common/Log.h"

namespace trellick::desktop {

namespace {

struct Unref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using AppInfoPtr = std::unique_ptr<GDesktopAppInfo, Unref>;

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string stripDesktop(std::string id) {
    if (id.size() > 8 && id.compare(id.size() - 8, 8, ".desktop") == 0) id.resize(id.size() - 8);
    return id;
}

AppInfoPtr open(const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos) return nullptr;
    return AppInfoPtr(g_desktop_app_info_new((id + ".desktop").c_str()));
}

DesktopEntry describe(GAppInfo* info, std::string id) {
    DesktopEntry e;
    e.id = std::move(id);
    if (const char* name = g_app_info_get_name(info)) e.name = name;
    if (GIcon* icon = g_app_info_get_icon(info)) {
        if (G_IS_THEMED_ICON(icon)) {
            const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0]) e.icon = IconHandle{names[0], nullptr};
        } else if (G_IS_FILE_ICON(icon)) {
            if (char* path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)))) {
                e.icon = IconHandle{path, nullptr};
                g_free(path);
            }
        }
    }
    return e;
}

}  // namespace

std::optional<DesktopEntry> GioDesktopEntries::find(const std::string& id) {
    auto info = open(id);
    if (!info) return std::nullopt;
    return describe(G_APP_INFO(info.get()), id);
}

std::vector<DesktopEntry> GioDesktopEntries::installed() {
    std::vector<DesktopEntry> out;
    GList* all = g_app_info_get_all();
    for (GList* l = all; l; l = l->next) {
        if (!G_IS_DESKTOP_APP_INFO(l->data)) continue;
        GAppInfo* info = G_APP_INFO(l->data);
        const char* rawId = g_app_info_get_id(info);
        // NoDisplay, Hidden and OnlyShowIn/NotShowIn entries are not applications to pick.
        if (!rawId || !g_app_info_should_show(info)) continue;
        out.push_back(describe(info, stripDesktop(rawId)));
    }
    g_list_free_full(all, g_object_unref);
    return out;
}

std::optional<std::string> GioDesktopEntries::idForWMClass(const std::string& wmClass) {
    if (wmClass.empty()) return std::nullopt;
    GList* all = g_app_info_get_all();
    std::optional<std::string> byStartupClass, byFileName, bySuffix;
    const std::string wanted = lower(wmClass);
    for (GList* l = all; l; l = l->next) {
        if (!G_IS_DESKTOP_APP_INFO(l->data)) continue;
        auto* info = G_DESKTOP_APP_INFO(l->data);
        const char* rawId = g_app_info_get_id(G_APP_INFO(info));
        if (!rawId) continue;
        std::string id = stripDesktop(rawId);
        const char* startup = g_desktop_app_info_get_startup_wm_class(info);
        if (!byStartupClass && startup && wmClass == startup) byStartupClass = id;
        if (!byFileName && lower(id) == wanted) byFileName = id;
        // "org.kde.konsole" for the class "konsole".
        if (!bySuffix && lower(id).size() > wanted.size() + 1 &&
            lower(id).compare(id.size() - wanted.size() - 1, std::string::npos, "." + wanted) == 0)
            bySuffix = id;
    }
    g_list_free_full(all, g_object_unref);
    if (byStartupClass) return byStartupClass;
    if (byFileName) return byFileName;
    return bySuffix;
}

bool GioDesktopEntries::launch(const std::string& id) {
    auto info = open(id);
    if (!info) return false;
    std::unique_ptr<GAppLaunchContext, Unref> context;
    if (std::string token = tokens_ ? tokens_(id) : std::string(); !token.empty()) {
        context.reset(g_app_launch_context_new());
        for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"})
            g_app_launch_context_setenv(context.get(), name, token.c_str());
    }
    GError* error = nullptr;
    gboolean ok = g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error);
    if (!ok) {
        log::warning("trellick.tracking",
                     "could not launch " + id + ": " + (error && error->message ? error->message : "unknown error"));
        g_clear_error(&error);
    }
    return ok;
}

}  // namespace trellick::desktop
