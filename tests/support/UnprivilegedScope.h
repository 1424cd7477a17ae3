#pragma once

#include <sys/types.h>
#include <vector>

// Runs the code of its lifetime as an unprivileged user, so that read-only files and folders
// refuse writes as they do for a user: root passes every permission check, and the tests run
// as root in CI. As root, the effective user and group become nobody (65534), without
// supplementary groups, and come back at the end; for any other user nothing changes. Files the
// scope must reach need to be readable, or writable, by others.
//
// Thread contract: the effective ids are the whole process's; no other test thread may touch
// files while a scope is open.
class UnprivilegedScope
{
public:
    UnprivilegedScope();
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope &) = delete;
    UnprivilegedScope &operator=(const UnprivilegedScope &) = delete;

    // False when the ids could not be changed; the scope then is no test of permissions.
    bool isActive() const { return m_active; }

private:
    void restore();

    std::vector<gid_t> m_groups;
    bool m_dropped = false;
    bool m_active = false;
};
