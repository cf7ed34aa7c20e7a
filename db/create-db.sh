#!/usr/bin/env bash
# Creates an empty QuorMail database file from schema.sql.
# Usage: create-db.sh TARGET.GDB   (does nothing when TARGET already exists)
set -euo pipefail
target=$1
[ -e "$target" ] && exit 0
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$(dirname "$target")"
target=$(cd "$(dirname "$target")" && pwd)/$(basename "$target")
isql=$(command -v isql-fb || command -v isql)
# The lock folder the program uses for a database in that folder (its data folder).
export FIREBIRD_LOCK=${FIREBIRD_LOCK:-$(dirname "$target")/firebird-lock}
mkdir -p -m 700 "$FIREBIRD_LOCK"
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
{
  echo "SET SQL DIALECT 3;"
  echo "CREATE DATABASE '$target' USER 'SYSDBA' PASSWORD 'lanternox' PAGE_SIZE 16384 DEFAULT CHARACTER SET NONE;"
  cat "$here/schema.sql"
} > "$tmp"
"$isql" -q -b -i "$tmp"
