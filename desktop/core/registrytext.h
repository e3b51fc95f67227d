#pragma once

#include <optional>
#include <string>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::desktop {

// String values at full key paths of the settings store (outside the
// program's own root, e.g. "Control Panel\Desktop"). A failure is kept as
// "Utility Class Error in <function> (<code>)" for the caller to report.
class RegistryText {
public:
    explicit RegistryText(SettingsStore& store) : store_(store) {}

    // The value, or `fallback` when the key or value is missing.
    std::string read(const std::string& key, const std::string& name,
                     const std::string& fallback) const;
    std::optional<std::string> find(const std::string& key, const std::string& name) const;
    // Creates the key when needed.
    bool write(const std::string& key, const std::string& name, const std::string& data);
    bool remove(const std::string& key, const std::string& name);

    const std::string& lastError() const { return lastError_; }

private:
    void fail(const char* function);

    SettingsStore& store_;
    mutable std::string lastError_;
};

} // namespace kamelo::desktop
