#include "registrytext.h"

#include "base/settingsstore.h"
#include "resources/stringtable.h"

#include <cerrno>

namespace kamelo::desktop {

std::string RegistryText::read(const std::string& key, const std::string& name,
                               const std::string& fallback) const {
    return find(key, name).value_or(fallback);
}

std::optional<std::string> RegistryText::find(const std::string& key,
                                              const std::string& name) const {
    const std::optional<SettingEntry> e = store_.entry(key, name);
    if (!e || e->type != SettingType::String)
        return std::nullopt;
    return e->stringValue;
}

bool RegistryText::write(const std::string& key, const std::string& name, const std::string& data) {
    SettingEntry e;
    e.key = key;
    e.name = name;
    e.type = SettingType::String;
    e.stringValue = data;
    errno = 0;
    if (store_.write(e))
        return true;
    fail("WriteRegistryString");
    return false;
}

bool RegistryText::remove(const std::string& key, const std::string& name) {
    errno = 0;
    if (store_.remove(key, name))
        return true;
    fail("DeleteRegistryValue");
    return false;
}

void RegistryText::fail(const char* function) {
    // The store keeps no system code of its own; errno is the closest one.
    lastError_ = res::format(res::IDS_UTILITY_CLASS_ERROR, function, errno != 0 ? errno : 1);
}

} // namespace kamelo::desktop
