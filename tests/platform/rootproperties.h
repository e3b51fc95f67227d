#pragma once

// The root window's properties as another X client (a colour manager) sets
// them, over a connection of the test's own.

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kamelo::test {

class RootProperties {
public:
    RootProperties() : connection_(xcb_connect(nullptr, nullptr)) {
        if (ok())
            root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~RootProperties() { xcb_disconnect(connection_); }
    RootProperties(const RootProperties&) = delete;
    RootProperties& operator=(const RootProperties&) = delete;

    bool ok() const { return connection_ && !xcb_connection_has_error(connection_); }

    // format 8, 16 or 32; bytes.size() a multiple of format / 8.
    void set(const QByteArray& name, const std::vector<uint8_t>& bytes, uint8_t format = 8) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, atom(name),
                            XCB_ATOM_CARDINAL, format, uint32_t(bytes.size() / (format / 8)),
                            bytes.data());
        sync();
    }
    void remove(const QByteArray& name) {
        xcb_delete_property(connection_, root_, atom(name));
        sync();
    }

private:
    xcb_atom_t atom(const QByteArray& name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, uint16_t(name.size()), name.constData()),
            nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    }
    // The server has done the change when this round trip returns.
    void sync() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

} // namespace kamelo::test
