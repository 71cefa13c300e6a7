#!/usr/bin/env bash
# The postinst grants CAP_NET_RAW to the helper alone, never to tozelo or tozelo-cli, and only where
# ICMP datagram sockets are not open to every group, and says what it did either way; it makes the
# group of those who may sweep as frames once. Stubs of setcap and addgroup record their calls.
# Usage: postinst.sh POSTINST
source "$(dirname "$0")/common.sh"
postinst=$1
calls=$scratch/setcap-calls
cat >"$scratch/setcap" <<STUB
#!/bin/sh
echo "\$*" >>"$calls"
exit \${STUB_STATUS:-0}
STUB
chmod +x "$scratch/setcap"
groups=$scratch/addgroup-calls
cat >"$scratch/addgroup" <<STUB
#!/bin/sh
echo "\$*" >>"$groups"
STUB
# The group is there once made.
cat >"$scratch/getent" <<STUB
#!/bin/sh
[ "\$1" = group ] && grep -q -- "\$2\\\$" "$groups" 2>/dev/null
STUB
chmod +x "$scratch/addgroup" "$scratch/getent"

# Runs the postinst with the range given, leaving its output in $output and the setcap calls in $calls.
run_postinst() {
    local range=$1
    rm -f "$calls"
    touch "$calls"
    if [ "$range" = missing ]; then
        rm -f "$scratch/range"
    else
        echo "$range" >"$scratch/range"
    fi
    output=$(TOZELO_PING_GROUP_RANGE=$scratch/range TOZELO_SETCAP=$scratch/setcap TOZELO_ADDGROUP=$scratch/addgroup \
        TOZELO_GETENT=$scratch/getent "$postinst" "${2:-configure}" 2>&1) ||
        fail "range '$range': the postinst failed"
}

helper=/usr/libexec/tozelo/tozelo-icmp
granted="cap_net_raw+ep $helper"

for range in "0 2147483647" "0	2147483647"; do
    run_postinst "$range"
    if [ -s "$calls" ]; then fail "range '$range': setcap ran although every group may ping"; fi
    grep -q "no capability needed" <<<"$output" || fail "range '$range': nothing said: $output"
done

for range in "1 0" "100 100" "1 2147483647" "0 1000" missing garbage; do
    run_postinst "$range"
    [ "$(cat "$calls")" = "$granted" ] || fail "range '$range': setcap calls were '$(cat "$calls")'"
    grep -q "granted cap_net_raw+ep to $helper" <<<"$output" || fail "range '$range': nothing said: $output"
done

# A file system without extended attributes must not fail the installation.
STUB_STATUS=1 run_postinst "1 0"
grep -q "could not grant cap_net_raw+ep to $helper;" <<<"$output" || fail "setcap failure not reported: $output"

# The group is made by the first configure alone, whatever the range.
[ "$(cat "$groups")" = "--system tozelo-frames" ] || fail "the group was made by '$(cat "$groups")'"

# dpkg calls the postinst on other occasions too; only configure grants anything.
run_postinst "1 0" abort-upgrade
if [ -s "$calls" ]; then fail "abort-upgrade ran setcap"; fi

finish
