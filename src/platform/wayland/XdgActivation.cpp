#include "platform/wayland/XdgActivation.h"

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

namespace trellick::wayland {

std::shared_ptr<XdgActivation> XdgActivation::create(std::shared_ptr<WaylandConnection> connection) {
    auto* activation = connection->bind<xdg_activation_v1>(xdg_activation_v1_interface, 1);
    if (!activation) return nullptr;
    return std::shared_ptr<XdgActivation>(new XdgActivation(std::move(connection), activation));
}

XdgActivation::XdgActivation(std::shared_ptr<WaylandConnection> connection, xdg_activation_v1* activation)
    : conn_(std::move(connection)), activation_(activation) {}

XdgActivation::~XdgActivation() {
    xdg_activation_v1_destroy(activation_);
    conn_->flush();
}

std::string XdgActivation::token(const std::string& appId) {
    // The token object lives on a queue of its own: waiting for it dispatches nothing else, so no
    // window-list change runs inside the caller (a launch in the middle of a commit).
    wl_event_queue* queue = wl_display_create_queue(conn_->display());
    auto* wrapper = static_cast<xdg_activation_v1*>(wl_proxy_create_wrapper(activation_));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    struct Answer {
        std::string token;
        bool done = false;
    } answer;
    static constexpr xdg_activation_token_v1_listener listener = {
        [](void* data, xdg_activation_token_v1*, const char* token) {
            auto* a = static_cast<Answer*>(data);
            a->token = token;
            a->done = true;
        }};
    xdg_activation_token_v1_add_listener(request, &listener, &answer);
    if (!appId.empty()) xdg_activation_token_v1_set_app_id(request, appId.c_str());
    xdg_activation_token_v1_commit(request);
    // The compositor answers a commit at once; a few round trips bound a slow or silent one.
    for (int tries = 0; !answer.done && tries < 3; ++tries)
        if (wl_display_roundtrip_queue(conn_->display(), queue) < 0) break;
    xdg_activation_token_v1_destroy(request);
    wl_event_queue_destroy(queue);
    return answer.token;
}

}  // namespace trellick::wayland
