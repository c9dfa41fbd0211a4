#!/usr/bin/env bash
# macOS: builds Quillmere.app into build-mac/ and runs it against the local stand-in service until it quits.
set -euo pipefail
cd "$(dirname "$0")/.."
# The stand-in's certificate is made with OpenSSL 3 (the system's LibreSSL lacks -addext).
export PATH="$(brew --prefix openssl@3)/bin:$PATH"
cmake -S . -B build-mac -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_STANDIN=ON >/dev/null
cmake --build build-mac
if ! security verify-cert -q -c build-mac/devsite/cert.pem 2>/dev/null; then
  echo "Trust the stand-in's certificate first (README, On a Mac):" >&2
  echo "  security add-trusted-cert -r trustRoot -k ~/Library/Keychains/login.keychain-db build-mac/devsite/cert.pem" >&2
  exit 1
fi
build-mac/quillmere-devsite build-mac/devsite/cert.pem build-mac/devsite/key.pem &
service=$!
trap 'kill $service 2>/dev/null' EXIT
sleep 0.5
echo "Stand-in service on https://main.localhost:8443 — starting Quillmere (quit it to stop the demo)."
open -W build-mac/Quillmere.app
