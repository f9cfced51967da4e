#!/usr/bin/env bash
# Installs the program the demo's way, then serves it through the tracked example configuration
# of lighttpd (after a main configuration that loads the static-file module before the CGI
# module, the order that would send the program as a file) and of Apache when it is installed,
# with the program directory put where the installation is. Prints one line per server and
# address: "<server> <path> <status> <first bytes of the answer>", then one for a POST of 8 MiB
# and of 8 MiB + 1 byte: "<server> post-<bytes> <status> <first bytes>".
#
#   example_configurations.sh SOURCE_DIR TVRWEB_EXE WORK_DIR PORT   (Apache uses PORT + 1)
set -eu
root=$1 program=$2 work=$3 port=$4
"$root/scripts/demo" --install-only --empty --program "$program" --dir "$work/inst" >/dev/null
user=""
if [ "$(id -u)" = 0 ]; then user=www-data; fi

fetch() {  # server, port
  for path in tulvar/tvrweb.exe/Version tulvar/tulvar.ini tulvar/tulvar.ini.lock tulvar/; do
    code=$(curl -s --retry 20 --retry-connrefused --retry-delay 1 -o "$work/out" \
      -w '%{http_code}' "http://127.0.0.1:$2/$path")
    echo "$1 $path $code $(head -c 40 "$work/out" | tr -cd '[:print:]')"
  done
  # A body of the program's limit (8 MiB) reaches it; one byte more the server refuses.
  for size in 8388608 8388609; do
    head -c "$size" /dev/zero | tr '\0' a >"$work/body"
    code=$(curl -s -o "$work/out" -w '%{http_code}' --data-binary @"$work/body" \
      "http://127.0.0.1:$2/tulvar/tvrweb.exe/Version")
    echo "$1 post-$size $code $(head -c 40 "$work/out" | tr -cd '[:print:]')"
  done
}

sed "s#/opt/tulvar/cgi-bin/#$work/inst/cgi-bin/#" "$root/deploy/lighttpd/tulvar.conf" \
  >"$work/tulvar-lighttpd.conf"
touch "$work/lighttpd.log"
if [ -n "$user" ]; then chown "$user" "$work/lighttpd.log"; fi
{
  echo 'server.modules = ("mod_access", "mod_alias", "mod_staticfile")'
  echo "server.document-root = \"$work\""
  echo "server.bind = \"127.0.0.1\""
  echo "server.port = $port"
  echo "server.errorlog = \"$work/lighttpd.log\""
  if [ -n "$user" ]; then
    echo "server.username = \"$user\""
    echo "server.groupname = \"$user\""
  fi
  echo "include \"$work/tulvar-lighttpd.conf\""
} >"$work/lighttpd.conf"
/usr/sbin/lighttpd -D -f "$work/lighttpd.conf" &
server=$!
fetch lighttpd "$port"
kill "$server"
wait "$server" || true

if [ -x /usr/sbin/apache2 ]; then
  sed "s#/opt/tulvar/cgi-bin#$work/inst/cgi-bin#g" "$root/deploy/apache/tulvar.conf" \
    >"$work/tulvar-apache.conf"
  {
    echo "ServerRoot /etc/apache2"
    for module in mpm_prefork authz_core alias cgi; do
      echo "LoadModule ${module}_module /usr/lib/apache2/modules/mod_$module.so"
    done
    echo "ServerName 127.0.0.1"
    echo "Listen 127.0.0.1:$((port + 1))"
    echo "PidFile $work/apache.pid"
    echo "ErrorLog $work/apache.log"
    if [ -n "$user" ]; then
      echo "User $user"
      echo "Group $user"
    fi
    echo "DocumentRoot $work"
    echo "Include $work/tulvar-apache.conf"
  } >"$work/apache.conf"
  /usr/sbin/apache2 -X -f "$work/apache.conf" &
  server=$!
  fetch apache $((port + 1))
  kill "$server"
  wait "$server" || true
fi
