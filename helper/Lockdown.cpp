#include "Lockdown.h"

#include "SystemCallFilter.h"
#include "platform/Privileges.h"

#include <sys/prctl.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

void Lockdown::apply(HelperProtocol::Purpose purpose)
{
    Privileges::dropEveryCapability(Privileges::Starts::Nothing);
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        throw std::runtime_error(std::string("cannot make the helper undumpable: ") + std::strerror(errno));
    SystemCallFilter::install(purpose);
}
