#include "CommandRun.h"

#include "CommandLine.h"
#include "echo/EchoTerms.h"

#include <iostream>

int CommandRun::reporting(const std::function<int()> &body, int failedStatus)
{
    try {
        return body();
    } catch (const CommandLine::UsageError &e) {
        std::cerr << "tozelo-cli: " << e.what() << " (try tozelo-cli --help)\n";
        return 2;
    } catch (const Failure &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return e.status;
    } catch (const TICMPException &e) {
        std::cerr << "tozelo-cli: " << e.what()
                  << " (ICMP needs net.ipv4.ping_group_range to include your group, or CAP_NET_RAW)\n";
        return failedStatus;
    } catch (const std::exception &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return failedStatus;
    }
}
