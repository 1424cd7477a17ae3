#include "link/FrameSync.h"

#include "link/Frames.h"

#include <cstring>

namespace
{
// Never shown: its check digits do not match, so it fails if it is ever checked.
constexpr char kStartText[] = "*ppp000000000";
} // namespace

FrameSync::FrameSync()
{
    std::memcpy(m_text, kStartText, kFrameSize);
    m_length = kFrameSize;
}

bool FrameSync::checkMatches() const
{
    return m_length >= kFrameSize && Frames::displayCheckMatches(m_text);
}
