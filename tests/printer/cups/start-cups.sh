#!/usr/bin/env bash
# Starts a private CUPS scheduler on 127.0.0.1 for the printer tests, with a
# queue "zemtest" (also the default) whose jobs land as files in STATE/out.
# Everything lives in STATE: configuration, spool, cache, logs. The system's
# CUPS is neither used nor touched. The address goes to STATE/server.
#
# usage: start-cups.sh STATE
set -euo pipefail

state=${1:?usage: start-cups.sh STATE}
here=$(cd "$(dirname "$0")" && pwd)
"$here/stop-cups.sh" "$state" || true
rm -rf "$state"
mkdir -p "$state"
state=$(cd "$state" && pwd)
mkdir -p "$state"/{conf,bin/backend,cache,spool,tmp,log,ssl,out}

# The scheduler needs the system's helper programs but our own backend.
for sub in filter daemon cgi-bin notifier monitor driver; do
    [ -e "/usr/lib/cups/$sub" ] && ln -s "/usr/lib/cups/$sub" "$state/bin/$sub"
done
install -m 0755 "$here/zemfile-backend" "$state/bin/backend/zemfile"
if [ "$(id -u)" -eq 0 ]; then
    # A backend that only its owner may run is run as root, so it can write
    # into the output folder without opening it to everyone.
    chmod 0700 "$state/bin/backend/zemfile"
    # The scheduler refuses root as its user for filters: they run as lp.
    accounts="SystemGroup root"
else
    accounts="User $(id -un)
Group $(id -gn)
SystemGroup $(id -gn)"
fi

# A free port: the first of a few random ones that nothing answers on.
free_port() {
    local port
    for _ in $(seq 1 50); do
        port=$((20000 + RANDOM % 40000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

cat > "$state/conf/cups-files.conf" <<CONF
ServerRoot $state/conf
ServerBin $state/bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
CacheDir $state/cache
StateDir $state
RequestRoot $state/spool
TempDir $state/tmp
ServerKeychain $state/ssl
AccessLog $state/log/access_log
ErrorLog $state/log/error_log
PageLog $state/log/page_log
Printcap $state/printcap
$accounts
FileDevice No
CONF

started=no
for attempt in 1 2 3; do
    port=$(free_port)
    cat > "$state/conf/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel warn
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
DefaultShared No
MaxJobs 100
PreserveJobHistory Off
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    # Detached, with every stream redirected, so that the caller does not wait for it.
    setsid /usr/sbin/cupsd -f -c "$state/conf/cupsd.conf" -s "$state/conf/cups-files.conf" \
        < /dev/null > "$state/log/cupsd.out" 2>&1 &
    echo $! > "$state/cupsd.pid"
    # Up to 30 s: a loaded CI machine building with sanitizers can be slow.
    for _ in $(seq 1 300); do
        # lpstat succeeds either way: its answer is the text.
        if lpstat -h "127.0.0.1:$port" -r 2> /dev/null | grep -q "scheduler is running"; then
            started=yes
            break
        fi
        kill -0 "$(cat "$state/cupsd.pid")" 2> /dev/null || break
        sleep 0.1
    done
    [ "$started" = yes ] && break
    "$here/stop-cups.sh" "$state" || true
done
if [ "$started" != yes ]; then
    echo "start-cups: the scheduler did not start" >&2
    cat "$state/log/cupsd.out" "$state/log/error_log" >&2 2> /dev/null || true
    exit 1
fi

server="127.0.0.1:$port"
added=no
for _ in 1 2 3 4 5; do
    if lpadmin -h "$server" -p zemtest -E -v "zemfile:$state/out" 2>> "$state/log/lpadmin.out" &&
        lpadmin -h "$server" -d zemtest 2>> "$state/log/lpadmin.out"; then
        added=yes
        break
    fi
    sleep 1
done
if [ "$added" != yes ]; then
    echo "start-cups: cannot add the queue" >&2
    cat "$state/log/lpadmin.out" "$state/log/error_log" >&2 2> /dev/null
    "$here/stop-cups.sh" "$state"
    exit 1
fi
echo "$server" > "$state/server"
echo "start-cups: scheduler on $server, queue zemtest, output in $state/out"
