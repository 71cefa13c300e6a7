#include "SystemCallFilter.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/if_packet.h>
#include <linux/seccomp.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

#if defined(__x86_64__)
constexpr uint32_t Architecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t Architecture = AUDIT_ARCH_AARCH64;
#else
#error "the helper's system call filter knows x86-64 and AArch64"
#endif

// Whatever their arguments: reading requests and packets, sending answers and requests, waiting,
// the clock, memory, and the way out.
constexpr long Anyhow[] = {
    SYS_recvfrom,      SYS_recvmsg, SYS_sendto,     SYS_ppoll,
#ifdef SYS_poll
    SYS_poll,
#endif
    SYS_clock_gettime, SYS_close,   SYS_brk,        SYS_munmap,       SYS_mremap,
    SYS_madvise,       SYS_exit,    SYS_exit_group, SYS_rt_sigreturn, SYS_restart_syscall,
};

// And for a sweep: batches of requests and answers, the drop count, the kernel's routes and
// neighbours (netlink, /proc/net/arp and a link's flags, MTU and hardware address), and the threads
// that make and close a link's ring.
constexpr long SweepAnyhow[] = {
    SYS_sendmmsg,   SYS_recvmmsg,       SYS_getsockopt,  SYS_read,      SYS_fstat,
    SYS_newfstatat, SYS_lseek,          SYS_futex,       SYS_getrandom, SYS_set_robust_list,
    SYS_rseq,       SYS_rt_sigprocmask, SYS_sched_yield, SYS_gettid,    SYS_sched_getaffinity,
};

// A call's argument, its low 32 bits.
uint32_t argument(int index)
{
    const bool littleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    return uint32_t(offsetof(seccomp_data, args) + sizeof(uint64_t) * index + (littleEndian ? 0 : 4));
}

// A filter program written a step at a time. A step that tests a call number expects it loaded.
class Program {
public:
    void load(uint32_t offset) { m_code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void allow() { m_code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)); }
    void kill() { m_code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS)); }
    // Skips ifTrue steps when the value loaded is value, ifFalse steps when not.
    void skipIfEqual(uint32_t value, uint8_t ifTrue, uint8_t ifFalse)
    {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, ifTrue, ifFalse));
    }

    void requireEqual(uint32_t value)
    {
        skipIfEqual(value, 1, 0);
        kill();
    }

    void requireBelow(uint32_t value)
    {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, value, 0, 1));
        kill();
    }

    void allowCall(long call)
    {
        skipIfEqual(uint32_t(call), 0, 1);
        allow();
    }

    // setsockopt of these options alone.
    void allowOptions(std::initializer_list<std::pair<int, int>> options)
    {
        skipIfEqual(uint32_t(SYS_setsockopt), 0, uint8_t(OptionSteps * options.size() + 1));
        for (const auto &[level, option] : options) {
            load(argument(1));
            skipIfEqual(uint32_t(level), 0, 3);
            load(argument(2));
            skipIfEqual(uint32_t(option), 0, 1);
            allow();
        }
        kill();
    }

    // The call when its argument has none of the bits.
    void allowWithout(long call, int index, uint32_t bits) { allowByBits(call, index, bits, false); }

    // The call when its argument has one of the bits.
    void allowWithAny(long call, int index, uint32_t bits) { allowByBits(call, index, bits, true); }

    void allowByBits(long call, int index, uint32_t bits, bool whenSet)
    {
        skipIfEqual(uint32_t(call), 0, 4);
        load(argument(index));
        m_code.push_back(
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, bits, uint8_t(whenSet ? 0 : 1), uint8_t(whenSet ? 1 : 0)));
        allow();
        kill();
    }

    // The call when its argument is one of the values.
    void allowAmong(long call, int index, std::initializer_list<uint32_t> values)
    {
        skipIfEqual(uint32_t(call), 0, uint8_t(values.size() * 2 + 2));
        load(argument(index));
        for (const uint32_t value : values) {
            skipIfEqual(value, 0, 1);
            allow();
        }
        kill();
    }

    // The call fails with error, as on a kernel without it.
    void refuse(long call, int error)
    {
        skipIfEqual(uint32_t(call), 0, 1);
        m_code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | uint32_t(error)));
    }

    void allowWith(long call, int index, uint32_t value, bool orMore = false)
    {
        skipIfEqual(uint32_t(call), 0, 4);
        load(argument(index));
        m_code.push_back(BPF_JUMP(BPF_JMP | (orMore ? BPF_JGE : BPF_JEQ) | BPF_K, value, 0, 1));
        allow();
        kill();
    }

    std::vector<sock_filter> take() { return std::move(m_code); }

private:
    static constexpr size_t OptionSteps = 5;
    std::vector<sock_filter> m_code;
};

} // namespace

std::vector<sock_filter> SystemCallFilter::program(HelperProtocol::Purpose purpose)
{
    const bool sweep = purpose == HelperProtocol::Purpose::Sweep;
    Program code;
    code.load(offsetof(seccomp_data, arch));
    code.requireEqual(Architecture);
    code.load(offsetof(seccomp_data, nr));
#if defined(__x86_64__)
    // The x32 calls share the architecture, numbered from this bit up.
    code.requireBelow(0x40000000);
#endif
    for (const long call : Anyhow)
        code.allowCall(call);
    if (sweep) {
        for (const long call : SweepAnyhow)
            code.allowCall(call);
        // Threads alone; glibc starts them with clone where clone3 is not there.
        code.refuse(SYS_clone3, ENOSYS);
        code.allowWithAny(SYS_clone, 0, CLONE_THREAD);
        code.allowWith(SYS_socket, 0, AF_NETLINK);
        code.allowAmong(SYS_ioctl, 1, {SIOCGIFNAME, SIOCGIFFLAGS, SIOCGIFMTU, SIOCGIFHWADDR});
        code.allowWithout(SYS_openat, 2, O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND);
        code.allowOptions({{IPPROTO_IP, IP_TTL},
                           {IPPROTO_IPV6, IPV6_UNICAST_HOPS},
                           {SOL_PACKET, PACKET_VNET_HDR},
                           {SOL_PACKET, PACKET_VERSION},
                           {SOL_PACKET, PACKET_TX_RING}});
    } else if (purpose == HelperProtocol::Purpose::Echo) {
        code.allowOptions({{IPPROTO_IP, IP_TTL}, {IPPROTO_IPV6, IPV6_UNICAST_HOPS}});
    }
    code.allowWithout(SYS_mmap, 2, PROT_EXEC);
    code.allowWithout(SYS_mprotect, 2, PROT_EXEC);
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' runtime tells whether memory may be read by writing it to a pipe of its own, and
    // gives each thread a stack of its own for signals.
    code.allowCall(SYS_pipe2);
    code.allowCall(SYS_sigaltstack);
    code.allowWith(SYS_write, 0, STDERR_FILENO, true);
#else
    code.allowWith(SYS_write, 0, STDERR_FILENO);
#endif
    code.kill();
    return code.take();
}

void SystemCallFilter::install(HelperProtocol::Purpose purpose)
{
    std::vector<sock_filter> code = program(purpose);
    const sock_fprog filter{static_cast<unsigned short>(code.size()), code.data()};
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) != 0)
        throw std::runtime_error(std::string("cannot limit the helper's system calls: ") + std::strerror(errno));
}
