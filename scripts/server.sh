#!/usr/bin/env bash
# Sets up a PostgreSQL server on this machine for talvor's stations (as
# root): installs PostgreSQL with apt, starts it, makes a role and a
# database "talvor" (UTF-8, byte order), lets the stations of the local
# network in with a password, and prints the setting each station uses.
#
#   bash scripts/server.sh [NETWORK]
#
# NETWORK is the stations' network in CIDR form (default: the networks of
# this machine's addresses), e.g. 192.168.1.0/24. Running it again keeps
# the database and its data; it only sets a new password when asked to
# (TALVOR_NEW_PASSWORD=1).
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
  echo "Run as root (it installs and configures PostgreSQL)." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg-query -W -f='${Status}' postgresql 2>/dev/null | grep -q "install ok installed"; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends postgresql
fi

# The newest cluster Debian made for the installed server.
read -r VERSION CLUSTER PORT _ < <(pg_lsclusters --no-header | sort -V | tail -1)
if [ -z "${VERSION:-}" ]; then
  VERSION="$(ls /usr/lib/postgresql | sort -V | tail -1)"
  pg_createcluster "$VERSION" main
  read -r VERSION CLUSTER PORT _ < <(pg_lsclusters --no-header | sort -V | tail -1)
fi
CONF="/etc/postgresql/$VERSION/$CLUSTER"

NETWORKS="${1:-}"
if [ -z "$NETWORKS" ]; then
  NETWORKS="$(ip -o -4 addr show scope global 2>/dev/null | awk '{print $4}' | while read -r a; do
    python3 -c "import ipaddress,sys; print(ipaddress.ip_interface(sys.argv[1]).network)" "$a"; done | sort -u | tr '\n' ' ')"
fi

# Listen on the network, and let the stations in with a password (never
# without one). Lines of ours are marked so a second run replaces them.
sed -i "/# talvor$/d" "$CONF/pg_hba.conf"
for net in $NETWORKS; do
  echo "host    talvor    talvor    $net    scram-sha-256  # talvor" >>"$CONF/pg_hba.conf"
done
# Every window of a station has a connection of its own: room for a few
# dozen stations.
sed -i "/# talvor$/d" "$CONF/postgresql.conf"
echo "listen_addresses = '*'  # talvor" >>"$CONF/postgresql.conf"
echo "max_connections = 300  # talvor" >>"$CONF/postgresql.conf"

if pg_ctlcluster "$VERSION" "$CLUSTER" status >/dev/null 2>&1; then
  pg_ctlcluster "$VERSION" "$CLUSTER" restart
else
  pg_ctlcluster "$VERSION" "$CLUSTER" start
fi

psql_admin() { runuser -u postgres -- psql -p "$PORT" -v ON_ERROR_STOP=1 -qtA "$@"; }

PASSWORD=""
if [ "$(psql_admin -c "SELECT count(*) FROM pg_roles WHERE rolname = 'talvor'")" = 0 ]; then
  PASSWORD="$(head -c 18 /dev/urandom | base64 | tr -d '/+=')"
  psql_admin -c "CREATE ROLE talvor LOGIN PASSWORD '$PASSWORD'"
elif [ "${TALVOR_NEW_PASSWORD:-0}" = 1 ]; then
  PASSWORD="$(head -c 18 /dev/urandom | base64 | tr -d '/+=')"
  psql_admin -c "ALTER ROLE talvor PASSWORD '$PASSWORD'"
fi
if [ "$(psql_admin -c "SELECT count(*) FROM pg_database WHERE datname = 'talvor'")" = 0 ]; then
  # Byte order (C) and UTF-8: texts sort and compare as the program does.
  psql_admin -c "CREATE DATABASE talvor OWNER talvor ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
fi

HOST="$(hostname -f 2>/dev/null || hostname)"
echo
echo "PostgreSQL $VERSION is ready for talvor on $HOST, port $PORT (stations from: ${NETWORKS:-none})."
echo
echo "Give each station this setting (see the README, \"Tables on a server\"):"
echo
echo "    host=$HOST port=$PORT dbname=talvor user=talvor"
echo
if [ -n "$PASSWORD" ]; then
  echo "and put the password in the ~/.pgpass file of each user of talvor on each station"
  echo "(that file only, readable by its owner alone: chmod 600 ~/.pgpass):"
  echo
  echo "    $HOST:$PORT:talvor:talvor:$PASSWORD"
  echo
  echo "The password is not kept anywhere on this server; note it now."
else
  echo "The role talvor keeps its password (TALVOR_NEW_PASSWORD=1 sets a new one)."
fi
