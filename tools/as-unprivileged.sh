#!/usr/bin/env sh
# Runs a command as nobody when called as root, so a permission test means
# something; as any other user it runs the command as it is.
set -eu
if [ "$(id -u)" -ne 0 ]; then
  exec "$@"
fi
home=$(mktemp -d)
chown 65534:65534 "$home"
trap 'rm -rf "$home"' EXIT
HOME=$home setpriv --reuid=65534 --regid=65534 --clear-groups --reset-env -- \
  env QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" HOME="$home" TMPDIR=/tmp "$@"
