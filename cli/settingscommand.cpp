#include "settingscommand.h"

#include "base/settingsstore.h"
#include "cli/commandhelp.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>

namespace kamelo {

namespace {

// Decimal or 0x-hex; values up to 0xFFFFFFFF are kept as their 32-bit
// pattern, as a DWORD would be.
std::optional<int32_t> parseInt(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > 0xFFFFFFFFLL)
        return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
    }
    return s;
}

void printValue(std::ostream& out, const SettingEntry& e) {
    switch (e.type) {
    case SettingType::Int32:
        out << e.intValue;
        break;
    case SettingType::String:
        out << e.stringValue;
        break;
    case SettingType::Binary:
        out << hex(e.binaryValue);
        break;
    }
}

const char* typeName(SettingType t) {
    switch (t) {
    case SettingType::Int32:
        return "int";
    case SettingType::String:
        return "string";
    case SettingType::Binary:
        return "binary";
    }
    return "?";
}

// Nothing can be read from or stored in a store that only lives in memory:
// say why, and fail, rather than report success for a value that is gone at
// exit.
bool usable(const SettingsStore& store, bool writing, std::ostream& err) {
    if (store.openStatus() != StoreOpenStatus::InMemoryOnly)
        return true;
    err << (writing ? "설정을 저장하지 못했습니다: " : "설정을 읽지 못했습니다: ")
        << (store.lockedAtOpen() ? "다른 프로그램이 설정 파일을 잠그고 있습니다. 잠시 뒤에 "
                                   "다시 해 보십시오: "
                                 : "설정 파일을 열 수 없습니다: ")
        << store.path() << "\n";
    return false;
}

void reportNotStored(const SettingsStore& store, std::ostream& err) {
    err << "설정을 저장하지 못했습니다: "
        << (store.unsavedWrites().empty() ? "" : "다른 프로그램이 설정 파일을 쓰고 있습니다: ")
        << store.path() << "\n";
}

int get(SettingsStore& store, const std::vector<std::string>& a, std::ostream& out,
        std::ostream& err) {
    auto e = store.entry(SettingsStore::sectionKey(a[1]), a[2]);
    if (!e) {
        err << "값이 없습니다: " << a[1] << " / " << a[2] << "\n";
        return 1;
    }
    printValue(out, *e);
    out << "\n";
    return 0;
}

int set(SettingsStore& store, const std::vector<std::string>& a, std::ostream& err) {
    std::string flag = a.size() > 4 ? a[4] : "";
    if (!flag.empty() && flag != "--int" && flag != "--string") {
        err << clihelp::usage("settings");
        return 2;
    }
    bool asInt;
    if (flag == "--int") {
        asInt = true;
    } else if (flag == "--string") {
        asInt = false;
    } else {
        // Without a flag the value keeps the type it already has; a new value
        // is an int when it reads as one.
        auto existing = store.entry(SettingsStore::sectionKey(a[1]), a[2]);
        asInt = existing ? existing->type == SettingType::Int32 : parseInt(a[3]).has_value();
    }
    bool ok;
    if (asInt) {
        auto v = parseInt(a[3]);
        if (!v) {
            err << "정수 값이 아닙니다: " << a[3] << "\n";
            return 2;
        }
        ok = store.setInt(a[1], a[2], *v);
    } else {
        ok = store.setString(a[1], a[2], a[3]);
    }
    if (!ok) {
        reportNotStored(store, err);
        return 1;
    }
    return 0;
}

} // namespace

int runSettingsCommand(SettingsStore& store, const std::vector<std::string>& a, std::ostream& out,
                       std::ostream& err) {
    const std::string verb = a.empty() ? "" : a[0];
    if (verb == "get" && a.size() == 3)
        return usable(store, false, err) ? get(store, a, out, err) : 1;
    if (verb == "set" && (a.size() == 4 || a.size() == 5))
        return usable(store, true, err) ? set(store, a, err) : 1;
    if (verb == "delete" && (a.size() == 2 || a.size() == 3)) {
        if (!usable(store, true, err))
            return 1;
        bool ok = a.size() == 3 ? store.deleteValue(a[1], a[2]) : store.deleteSection(a[1]);
        return ok ? 0 : 1;
    }
    if (verb == "dump" && a.size() == 1) {
        if (!usable(store, false, err))
            return 1;
        for (const SettingEntry& e : store.entries()) {
            out << e.key << "\t" << e.name << "\t" << typeName(e.type) << "\t";
            printValue(out, e);
            out << "\n";
        }
        return 0;
    }
    err << clihelp::usage("settings");
    return 2;
}

} // namespace kamelo
