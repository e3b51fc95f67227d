#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

#include <cstddef>
#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace kamelo {

// The colour profiles the X server publishes for the screens: the root
// window's "_ICC_PROFILE" for the first screen and "_ICC_PROFILE_n" for
// screen n, as colour managers (colord, xiccd, dispwin) set them. Read at
// start, again whenever such a property changes or a screen comes or goes.
// Without X (offscreen, Wayland) there are none: every screen is sRGB.
class DisplayProfile : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // A property larger than this is no profile anyone meant; it is ignored.
    static constexpr std::size_t kMaxBytes = std::size_t(8) << 20;

    explicit DisplayProfile(QObject* parent = nullptr);
    ~DisplayProfile() override;

    // Whether the profiles come from an X server.
    bool onX11() const { return connection_ != nullptr; }
    // One entry per screen of QGuiApplication::screens() (at least one).
    int screenCount() const { return int(profiles_.size()); }
    // Screen n's profile bytes as published; empty when none (or n unknown).
    const std::vector<uint8_t>& profile(int screen) const;

    // The root window property that holds screen n's profile.
    static QByteArray propertyName(int screen);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // Some screen's profile bytes differ from what was read before.
    void changed();

private:
    void watchRoot();
    void internAtoms();
    void readAll();
    void rereadSoon();
    std::vector<uint8_t> readProperty(uint32_t atom) const;

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    std::vector<uint32_t> atoms_;
    std::vector<std::vector<uint8_t>> profiles_;
    bool rereadQueued_ = false;
};

} // namespace kamelo
