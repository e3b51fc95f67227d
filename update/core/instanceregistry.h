#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kamelo::update {

// The running copies of the program of one user: one empty file per process,
// named by its id, in $XDG_RUNTIME_DIR/kamelo/instances. An entry counts only
// while /proc/<pid>/exe is this program, so a stale entry whose number now
// belongs to another process is never acted on.
class InstanceRegistry {
public:
    // Empty folder: the one under $XDG_RUNTIME_DIR (/tmp/kamelo-<uid> without it).
    explicit InstanceRegistry(std::string folder = {});

    const std::string& folder() const { return folder_; }
    bool add(pid_t pid) const;
    void remove(pid_t pid) const;
    std::vector<pid_t> entries() const;

    // The program file of a process, "" when it cannot be read.
    static std::string executableOf(pid_t pid);
    // Sends SIGTERM to every registered copy of `program` but `self`, drops
    // stale entries, and returns the ids it signalled.
    std::vector<pid_t> endOthers(pid_t self, const std::string& program) const;

    static std::string defaultFolder();

private:
    std::string folder_;
};

// Registers the running process for its lifetime.
class InstanceRegistration {
public:
    InstanceRegistration();
    ~InstanceRegistration();
    InstanceRegistration(const InstanceRegistration&) = delete;
    InstanceRegistration& operator=(const InstanceRegistration&) = delete;

private:
    InstanceRegistry registry_;
    pid_t pid_;
};

} // namespace kamelo::update
