#include "SweepStall.h"

void SweepStall::noRoom(int64_t nowNs)
{
    if (m_sinceNs < 0)
        m_sinceNs = nowNs;
}
