#include "tests/support/UnprivilegedScope.h"

#include <grp.h>
#include <unistd.h>

namespace
{
constexpr uid_t kNobody = 65534;
}

UnprivilegedScope::UnprivilegedScope()
{
    if (::geteuid() != 0) {
        m_active = true;
        return;
    }
    const int n = ::getgroups(0, nullptr);
    m_groups.resize(n > 0 ? n : 0);
    if (n > 0 && ::getgroups(n, m_groups.data()) != n)
        return;
    // Groups first, then the group, then the user: each needs root's effective id.
    m_dropped = ::setgroups(0, nullptr) == 0 && ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    m_active = m_dropped;
    if (!m_dropped)
        restore();
}

UnprivilegedScope::~UnprivilegedScope()
{
    if (m_dropped)
        restore();
}

void UnprivilegedScope::restore()
{
    if (::seteuid(0) == 0) {
        (void)::setegid(0);
        (void)::setgroups(m_groups.size(), m_groups.data());
    }
}
