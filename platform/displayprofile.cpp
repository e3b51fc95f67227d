#include "displayprofile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace kamelo {

namespace {

// Asked for in pieces so that no single reply is large; a multiple of four
// because the protocol counts offsets in 32-bit units.
constexpr uint32_t kPieceBytes = 256 * 1024;

template <typename T> struct FreeReply {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;

xcb_connection_t* x11Connection() {
#if QT_CONFIG(xcb)
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return x11->connection();
#endif
    return nullptr;
}

const std::vector<uint8_t>& noProfile() {
    static const std::vector<uint8_t> none;
    return none;
}

} // namespace

DisplayProfile::DisplayProfile(QObject* parent) : QObject(parent) {
    connection_ = x11Connection();
    if (connection_ && xcb_connection_has_error(connection_))
        connection_ = nullptr;
    if (connection_) {
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        const xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        if (it.rem > 0)
            root_ = it.data->root;
        else
            connection_ = nullptr;
    }
    if (connection_) {
        watchRoot();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    if (qGuiApp) {
        const auto screensChanged = [this] {
            // Qt may have set its mask on the root window again for the new
            // screen.
            if (connection_)
                watchRoot();
            internAtoms();
            readAll();
        };
        connect(qGuiApp, &QGuiApplication::screenAdded, this, screensChanged);
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, screensChanged);
    }
    internAtoms();
    // The first read sets the starting point; nobody is told of it.
    const QSignalBlocker quiet(this);
    readAll();
}

DisplayProfile::~DisplayProfile() {
    if (connection_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

const std::vector<uint8_t>& DisplayProfile::profile(int screen) const {
    if (screen < 0 || screen >= int(profiles_.size()))
        return noProfile();
    return profiles_[size_t(screen)];
}

QByteArray DisplayProfile::propertyName(int screen) {
    QByteArray name("_ICC_PROFILE");
    if (screen > 0)
        name += '_' + QByteArray::number(screen);
    return name;
}

void DisplayProfile::watchRoot() {
    // Qt has its own reasons to listen on the root window: its mask is kept,
    // property changes are added to it.
    const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(connection_, root_);
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, cookie, nullptr));
    const uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | uint32_t(XCB_EVENT_MASK_PROPERTY_CHANGE);
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
}

void DisplayProfile::internAtoms() {
    const int screens = qGuiApp ? std::max<int>(1, int(QGuiApplication::screens().size())) : 1;
    atoms_.assign(size_t(screens), XCB_ATOM_NONE);
    if (!connection_)
        return;
    // All requests first, then the replies: one round trip.
    std::vector<xcb_intern_atom_cookie_t> cookies;
    std::vector<QByteArray> names;
    for (int i = 0; i < screens; ++i) {
        names.push_back(propertyName(i));
        cookies.push_back(xcb_intern_atom(connection_, 0, uint16_t(names.back().size()),
                                          names.back().constData()));
    }
    for (int i = 0; i < screens; ++i) {
        const Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, cookies[size_t(i)], nullptr));
        if (reply)
            atoms_[size_t(i)] = reply->atom;
    }
}

std::vector<uint8_t> DisplayProfile::readProperty(uint32_t atom) const {
    std::vector<uint8_t> bytes;
    if (!connection_ || atom == XCB_ATOM_NONE)
        return bytes;
    const uint32_t maxPieces = uint32_t(kMaxBytes / kPieceBytes) + 1;
    for (uint32_t piece = 0; piece < maxPieces; ++piece) {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, root_, atom, XCB_GET_PROPERTY_TYPE_ANY,
                             piece * (kPieceBytes / 4), kPieceBytes / 4);
        const Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection_, cookie, nullptr));
        // Absent, or not a byte string: no profile.
        if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8)
            return {};
        const int length = xcb_get_property_value_length(reply.get());
        if (length < 0 || size_t(length) > kPieceBytes ||
            bytes.size() + size_t(length) + reply->bytes_after > kMaxBytes)
            return {};
        const auto* value = static_cast<const uint8_t*>(xcb_get_property_value(reply.get()));
        bytes.insert(bytes.end(), value, value + length);
        if (reply->bytes_after == 0)
            return bytes;
        // A short piece with more to come: the property changed while it was
        // being read. Its change notice brings another read.
        if (size_t(length) != kPieceBytes)
            return {};
    }
    return {};
}

void DisplayProfile::readAll() {
    std::vector<std::vector<uint8_t>> now;
    now.reserve(atoms_.size());
    for (uint32_t atom : atoms_)
        now.push_back(readProperty(atom));
    if (now == profiles_)
        return;
    profiles_ = std::move(now);
    emit changed();
}

void DisplayProfile::rereadSoon() {
    // A colour manager may set several screens' properties at once: one read.
    if (rereadQueued_)
        return;
    rereadQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            rereadQueued_ = false;
            readAll();
        },
        Qt::QueuedConnection);
}

bool DisplayProfile::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notice = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notice->window == root_ &&
        std::find(atoms_.begin(), atoms_.end(), notice->atom) != atoms_.end())
        rereadSoon();
    // Qt sees the event too.
    return false;
}

} // namespace kamelo
