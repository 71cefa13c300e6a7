#!/usr/bin/env bash
# A private test network in namespaces, so that real echo requests reach hosts the suite made
# itself and nothing else:
#
#   client C  198.18.1.1 ── 198.18.1.254  router R  198.18.2.254 ── 198.18.2.1   host H (kernel echo)
#                                                 198.18.3.254 ── 198.18.3.N   delayed D (N ms late)
#                                                 198.18.7.254 ── 198.18.7.1   TCP host T
#             R also drops 198.18.4.0/24 silently and answers host unreachable for 198.18.5.0/24.
#             C routes only 198.18.0.0/15 and the reserved 240.0.0.0/5 (to R, which drops the latter
#             silently: room for big silent blocks); anything else, 250.0.0.0/8 say, has no route at
#             all, so a send there fails in C and nothing leaves.
#
#   C also has a link of its own, 198.18.9.0/24 (fd00:198:18:9::/64), a bridge in namespace L:
#             C 198.18.9.1 (::1); the bridge itself 198.18.9.2 (::2), hardware address from a known
#             maker's block, and 198.18.9.3 (::3), a locally administered one, both silent to echo but
#             answering ARP and ND; and 198.18.9.4 (::4) in namespace E, answering echo, from another
#             maker's block. Nothing routes to or from this link but C.
#
#   The same in IPv6, in the unique local block fd00:198:18::/48, the fourth group standing for the
#   third octet: C fd00:198:18:1::1, R fd00:198:18:N::254, H fd00:198:18:2::1, D fd00:198:18:3::N
#   (N ms late, N read in decimal digits); R drops fd00:198:18:4::/64 and answers address
#   unreachable for fd00:198:18:5::/64; C routes only fd00:198:18::/48. T (fd00:198:18:7::1) drops
#   every echo request but listens on TCP port 443, as a firewalled host does; its other ports answer
#   with a reset. The names of the hosts file
#   are of IPv4 alone (silent, unreachable), of IPv6 alone (NAME.v6.tozelo.test) or of both
#   (answering, delayedN, router, client, tcponly). C's group file also names the group tozelo-frames, whose
#   members may send frames, with no member.
#
#   testbed.sh run CMD...   build a testbed, run CMD inside C, tear down, exit with CMD's status
#                           (77 when the machine cannot build one)
#   testbed.sh up NAME      build testbed NAME (namespaces NAME-c, NAME-r, NAME-h, NAME-d, NAME-t, NAME-l,
#                           NAME-e)
#   testbed.sh down NAME    tear testbed NAME down
#
# The delayed responder is $TOZELO_TOOLS/echo_responder, T's listener $TOZELO_TOOLS/tcp_listener.
set -uo pipefail

readonly DELAYED_HOSTS=(1 5 10 20 40)
readonly V6=fd00:198:18
# The hardware addresses of the hosts on C's own link: two makers' blocks, and a locally administered one.
readonly LINK_MAKER_MAC=00:16:3e:18:09:02
readonly LINK_LOCAL_MAC=02:18:09:00:00:03
readonly LINK_ECHO_MAC=00:50:56:18:09:04
readonly RUN_LIMIT_SECONDS=${TESTBED_RUN_LIMIT:-900}

say() { echo "testbed: $*" >&2; }

skip() {
    echo "skipped: $*"
    exit 77
}

# Echoes the reason why no testbed can be built here, or nothing.
missing_capability() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "needs root to build network namespaces"
    elif ! command -v ip >/dev/null; then
        echo "needs the ip command (iproute2)"
    elif ! ip netns list >/dev/null 2>&1; then
        echo "ip netns does not work here"
    fi
}

# Each testbed keeps its state in a folder of its own, so that runs side by side never meet there.
state_dir() { echo "/run/tozelo-testbed-$1"; }

ns_c() { echo "$1-c"; }
ns_r() { echo "$1-r"; }
ns_h() { echo "$1-h"; }
ns_d() { echo "$1-d"; }
ns_t() { echo "$1-t"; }
ns_l() { echo "$1-l"; }
ns_e() { echo "$1-e"; }
all_ns() { echo "$(ns_c "$1") $(ns_r "$1") $(ns_h "$1") $(ns_d "$1") $(ns_t "$1") $(ns_l "$1") $(ns_e "$1")"; }

in_ns() {
    local ns=$1
    shift
    ip netns exec "$ns" "$@"
}

# link NAME NS_A IF_A ADDR_A NS_B IF_B ADDR_B: a veth pair made inside the namespaces, so that its
# names never meet the machine's own interfaces.
link() {
    local ns_a=$1 if_a=$2 addr_a=$3 ns_b=$4 if_b=$5 addr_b=$6
    ip -n "$ns_a" link add "$if_a" type veth peer name "$if_b" netns "$ns_b" || return 1
    ip -n "$ns_a" addr add "$addr_a" dev "$if_a" &&
        ip -n "$ns_b" addr add "$addr_b" dev "$if_b" &&
        ip -n "$ns_a" link set "$if_a" up &&
        ip -n "$ns_b" link set "$if_b" up
}

write_name_files() {
    local dir=/etc/netns/$1 tries
    # Another run's teardown may take the shared /etc/netns away between the two steps of mkdir -p.
    for tries in 1 2 3; do
        mkdir -p "$dir" 2>/dev/null && break
    done
    [ -d "$dir" ] || return 1
    {
        echo "127.0.0.1 localhost"
        echo "198.18.1.1 client.tozelo.test"
        echo "198.18.1.254 router.tozelo.test"
        echo "198.18.2.1 answering.tozelo.test"
        local n
        for n in "${DELAYED_HOSTS[@]}"; do
            echo "198.18.3.$n delayed$n.tozelo.test"
        done
        echo "198.18.4.1 silent.tozelo.test"
        echo "198.18.5.1 unreachable.tozelo.test"
        echo "198.18.7.1 tcponly.tozelo.test"
        echo "::1 localhost"
        echo "$V6:1::1 client.tozelo.test client.v6.tozelo.test"
        echo "$V6:1::254 router.tozelo.test router.v6.tozelo.test"
        echo "$V6:2::1 answering.tozelo.test answering.v6.tozelo.test"
        for n in "${DELAYED_HOSTS[@]}"; do
            echo "$V6:3::$n delayed$n.tozelo.test delayed$n.v6.tozelo.test"
        done
        echo "$V6:4::1 silent.v6.tozelo.test"
        echo "$V6:5::1 unreachable.v6.tozelo.test"
        echo "$V6:7::1 tcponly.tozelo.test tcponly.v6.tozelo.test"
    } >"$dir/hosts"
    # The group whose members may send frames, on a group id nothing else has.
    local gid=64900
    while getent group "$gid" >/dev/null; do
        gid=$((gid + 1))
    done
    { grep -v '^tozelo-frames:' /etc/group; echo "tozelo-frames:x:$gid:"; } >"$dir/group"
    # Files only: an unknown name fails at once and no query ever leaves the testbed.
    echo "hosts: files" >"$dir/nsswitch.conf"
    printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"$dir/resolv.conf"
}

# The write ends of the pipes whose far ends are the tools' standard input (--lifeline).
LIFELINES=()

close_lifelines() {
    local fd
    for fd in "${LIFELINES[@]}"; do
        exec {fd}>&-
    done
}

# start_tool NAME LIFELINE ROLE TOOL: TOOL of $TOZELO_TOOLS in the namespace of ROLE, its pid kept
# as pid-ROLE.
start_tool() {
    local name=$1 lifeline=$2 role=$3
    local tool=${TOZELO_TOOLS:-}/$4 ns
    ns=$(ns_"$role" "$name")
    if [ ! -x "$tool" ]; then
        say "no $4 at '$tool' (set TOZELO_TOOLS to the tests build folder)"
        return 1
    fi
    local ready pid
    ready=$(state_dir "$name")/ready-$role
    rm -f "$ready"
    if [ "$lifeline" = yes ]; then
        # The tool leaves when this shell's end of the pipe closes, however this shell ends.
        local fd
        exec {fd}> >(close_lifelines; exec ip netns exec "$ns" "$tool" --lifeline --ready "$ready")
        pid=$!
        LIFELINES+=("$fd")
    else
        setsid ip netns exec "$ns" "$tool" --ready "$ready" </dev/null >/dev/null 2>&1 &
        pid=$!
    fi
    echo "$pid" >"$(state_dir "$name")/pid-$role"
    local tries
    for tries in $(seq 50); do
        [ -e "$ready" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    say "$4 did not start"
    return 1
}

build() {
    local name=$1 lifeline=$2
    local c r h d t
    c=$(ns_c "$name") r=$(ns_r "$name") h=$(ns_h "$name") d=$(ns_d "$name") t=$(ns_t "$name")
    mkdir -p "$(state_dir "$name")" || return 1
    local ns
    for ns in $(all_ns "$name"); do
        ip netns add "$ns" || return 1
        ip -n "$ns" link set lo up || return 1
        # Duplicate address detection would hold each link's IPv6 back for a second.
        in_ns "$ns" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0 || return 1
    done
    # First, so that its bridge's ports have their carrier by the end.
    build_link "$c" "$(ns_l "$name")" "$(ns_e "$name")" || return 1
    link "$c" to-r 198.18.1.1/24 "$r" to-c 198.18.1.254/24 &&
        link "$r" to-h 198.18.2.254/24 "$h" to-r 198.18.2.1/24 &&
        link "$r" to-d 198.18.3.254/24 "$d" to-r 198.18.3.1/24 &&
        link "$r" to-t 198.18.7.254/24 "$t" to-r 198.18.7.1/24 || return 1
    local n
    for n in "${DELAYED_HOSTS[@]}"; do
        [ "$n" = 1 ] || ip -n "$d" addr add "198.18.3.$n/24" dev to-r || return 1
    done
    ip -n "$c" route add 198.18.0.0/15 via 198.18.1.254 &&
        ip -n "$c" route add 240.0.0.0/5 via 198.18.1.254 &&
        ip -n "$h" route add default via 198.18.2.254 &&
        ip -n "$d" route add default via 198.18.3.254 &&
        ip -n "$t" route add default via 198.18.7.254 &&
        ip -n "$r" route add blackhole 198.18.4.0/24 &&
        ip -n "$r" route add blackhole 240.0.0.0/5 &&
        reject_unreachable "$r" || return 1
    # The router gives up a missing host on its links, and from then on answers for it at once, only
    # after hours rather than seconds: the silent hosts stay silent however long a run takes.
    in_ns "$r" sysctl -qw net.ipv4.neigh.to-d.retrans_time_ms=3600000 net.ipv6.neigh.to-d.retrans_time_ms=3600000 \
        net.ipv4.neigh.to-h.retrans_time_ms=3600000 net.ipv6.neigh.to-h.retrans_time_ms=3600000 &&
        in_ns "$r" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 &&
        in_ns "$c" sysctl -qw net.ipv4.ping_group_range="0 2147483647" &&
        in_ns "$d" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 &&
        in_ns "$t" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 || return 1
    build_v6 "$c" "$r" "$h" "$d" "$t" || return 1
    write_name_files "$c" || return 1
    start_tool "$name" "$lifeline" d echo_responder && start_tool "$name" "$lifeline" t tcp_listener &&
        link_carries "$(ns_l "$name")"
}

# A bridge's port forwards only once its veth has carrier, which the kernel tells a moment after.
link_carries() {
    local tries
    for tries in $(seq 100); do
        [ "$(bridge -n "$1" link show | grep -c 'state forwarding')" -eq 3 ] && return 0
        sleep 0.02
    done
    say "the client's link did not come up"
    return 1
}

address6() {
    ip -n "$1" -6 addr add "$3/64" dev "$2" nodad
}

# IPv6 beside IPv4 on the same links.
build_v6() {
    local c=$1 r=$2 h=$3 d=$4 t=$5 n
    address6 "$c" to-r "$V6:1::1" && address6 "$r" to-c "$V6:1::254" &&
        address6 "$r" to-h "$V6:2::254" && address6 "$h" to-r "$V6:2::1" &&
        address6 "$r" to-d "$V6:3::254" && address6 "$r" to-t "$V6:7::254" && address6 "$t" to-r "$V6:7::1" || return 1
    for n in "${DELAYED_HOSTS[@]}"; do
        address6 "$d" to-r "$V6:3::$n" || return 1
    done
    ip -n "$c" -6 route add "$V6::/48" via "$V6:1::254" &&
        ip -n "$h" -6 route add default via "$V6:2::254" &&
        ip -n "$d" -6 route add default via "$V6:3::254" &&
        ip -n "$t" -6 route add default via "$V6:7::254" &&
        in_ns "$r" sysctl -qw net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0 &&
        in_ns "$d" sysctl -qw net.ipv6.icmp.echo_ignore_all=1 &&
        in_ns "$t" sysctl -qw net.ipv6.icmp.echo_ignore_all=1
}

# bridged HOST_NS IF MAC ADDRESS BRIDGE_NS: a host's interface on L's bridge, with its hardware address.
bridged() {
    local host=$1 if=$2 mac=$3 address=$4 l=$5
    ip -n "$host" link add "$if" address "$mac" type veth peer name "p-$address" netns "$l" &&
        ip -n "$host" addr add "198.18.9.$address/24" dev "$if" &&
        address6 "$host" "$if" "$V6:9::$address" &&
        ip -n "$host" link set "$if" up &&
        ip -n "$l" link set "p-$address" master lan up
}

# C's own link: a bridge in L, whose own address and a second interface of L answer ARP and ND but
# not echo, and a host in E that answers echo. Each interface of L answers ARP for its own address
# alone, as a host of its own would.
build_link() {
    local c=$1 l=$2 e=$3
    ip -n "$l" link add lan address "$LINK_MAKER_MAC" type bridge forward_delay 0 &&
        ip -n "$l" addr add 198.18.9.2/24 dev lan &&
        address6 "$l" lan "$V6:9::2" &&
        ip -n "$l" link set lan up &&
        in_ns "$l" sysctl -qw net.ipv4.conf.all.arp_ignore=1 net.ipv4.icmp_echo_ignore_all=1 \
            net.ipv6.icmp.echo_ignore_all=1 &&
        bridged "$c" to-l 02:18:09:00:00:01 1 "$l" &&
        bridged "$l" local "$LINK_LOCAL_MAC" 3 "$l" &&
        bridged "$e" to-l "$LINK_ECHO_MAC" 4 "$l"
}

# 198.18.5.0/24 answers host unreachable, fd00:198:18:5::/64 address unreachable, and
# fd00:198:18:4::/64 is dropped. The kernel's own unreachable route would do, but it allows
# one such answer per second and source, on a machine-wide setting; a filter rule has no such limit.
reject_unreachable() {
    local r=$1
    if ! command -v nft >/dev/null; then
        say "no nft: unreachable hosts answer at most once a second"
        ip -n "$r" route add unreachable 198.18.5.0/24 &&
            ip -n "$r" -6 route add blackhole "$V6:4::/64" &&
            ip -n "$r" -6 route add unreachable "$V6:5::/64"
        return
    fi
    ip -n "$r" route add 198.18.5.0/24 dev to-h &&
        ip -n "$r" -6 route add "$V6:4::/64" dev to-h &&
        ip -n "$r" -6 route add "$V6:5::/64" dev to-h &&
        in_ns "$r" nft -f - <<EOF
table ip testbed {
    chain forward {
        type filter hook forward priority 0; policy accept;
        ip daddr 198.18.5.0/24 reject with icmp type host-unreachable
    }
}
table ip6 testbed6 {
    chain forward {
        type filter hook forward priority 0; policy accept;
        ip6 daddr $V6:4::/64 drop
        ip6 daddr $V6:5::/64 reject with icmpv6 type addr-unreachable
    }
}
EOF
}

# stop_tool NAME ROLE
stop_tool() {
    local name=$1 role=$2 pidfile
    pidfile=$(state_dir "$name")/pid-$role
    [ -f "$pidfile" ] || return 0
    local pid
    pid=$(cat "$pidfile")
    # Only the process this testbed started, and only while it still runs in this testbed's namespace.
    if [ -n "$pid" ] && ip netns pids "$(ns_"$role" "$name")" 2>/dev/null | grep -qx "$pid"; then
        kill "$pid" 2>/dev/null
        local tries
        for tries in $(seq 20); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
}

teardown() {
    local name=$1
    # A second signal must not cut the teardown short.
    trap '' INT TERM HUP
    stop_tool "$name" d
    stop_tool "$name" t
    local ns
    for ns in $(all_ns "$name"); do
        # Whatever a test left running inside the testbed goes with it.
        local pid
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -9 "$pid" 2>/dev/null
        done
        if [ -e "/run/netns/$ns" ]; then
            ip netns del "$ns" || say "could not delete namespace $ns"
        fi
    done
    rm -rf "/etc/netns/$(ns_c "$name")" "$(state_dir "$name")"
    # Only once no other testbed's name files are there.
    rmdir /etc/netns 2>/dev/null
    return 0
}

# Testbeds of runs that were killed before they could tear down.
reap_orphans() {
    local owner
    for owner in $(ip netns list 2>/dev/null | sed -nE 's/^tz([0-9]+)-[crhdtle]( .*)?$/\1/p' | sort -u); do
        kill -0 "$owner" 2>/dev/null || teardown "tz$owner"
    done
}

valid_name() {
    [[ $1 =~ ^[a-z][a-z0-9]{0,11}$ ]] || {
        say "testbed name must be 1 to 12 lowercase letters or digits, starting with a letter"
        exit 2
    }
}

cmd_run() {
    [ $# -gt 0 ] || {
        say "usage: testbed.sh run CMD..."
        exit 2
    }
    local reason
    reason=$(missing_capability)
    [ -z "$reason" ] || skip "$reason"
    reap_orphans
    RUN_NAME=tz$$
    RUN_PID=
    trap 'teardown "$RUN_NAME"' EXIT
    trap '[ -n "$RUN_PID" ] && kill "$RUN_PID" 2>/dev/null; exit 130' INT TERM HUP
    if ! ip netns add "$RUN_NAME-probe" 2>/dev/null; then
        skip "cannot create network namespaces here"
    fi
    ip netns del "$RUN_NAME-probe"
    build "$RUN_NAME" yes || {
        say "could not build the testbed"
        exit 1
    }
    # In the background, so that a signal to this shell tears the testbed down at once.
    (
        close_lifelines
        TOZELO_TESTBED=$RUN_NAME exec ip netns exec "$(ns_c "$RUN_NAME")" timeout -k 5 "$RUN_LIMIT_SECONDS" "$@"
    ) &
    RUN_PID=$!
    wait "$RUN_PID"
    exit $?
}

cmd_up() {
    valid_name "${1:-}"
    local reason
    reason=$(missing_capability)
    [ -z "$reason" ] || skip "$reason"
    [ ! -e "/run/netns/$(ns_c "$1")" ] || {
        say "testbed $1 is already up"
        exit 1
    }
    build "$1" no || {
        say "could not build testbed $1"
        teardown "$1"
        exit 1
    }
}

cmd_down() {
    valid_name "${1:-}"
    teardown "$1"
}

case "${1:-}" in
run) shift && cmd_run "$@" ;;
up) cmd_up "${2:-}" ;;
down) cmd_down "${2:-}" ;;
*)
    say "usage: testbed.sh run CMD... | up NAME | down NAME"
    exit 2
    ;;
esac
