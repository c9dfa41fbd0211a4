#!/usr/bin/env bash
# macOS: builds Quillmere.app into build-mac/ and runs it against the local stand-in service until it quits.
# The stand-in's certificate is trusted for TLS in the login keychain while the demo runs, and only then.
set -euo pipefail
cd "$(dirname "$0")/.."
# The stand-in's certificate is made with OpenSSL 3 (the system's LibreSSL lacks -addext).
openssl_bin="$(brew --prefix openssl@3)/bin"
export PATH="$openssl_bin:$PATH"
cmake -S . -B build-mac -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_STANDIN=ON >/dev/null
cmake --build build-mac
cert=build-mac/devsite/cert.pem
port=$(sed -n 's/^QM_STANDIN_PORT:[A-Z]*=//p' build-mac/CMakeCache.txt)
keychain="$HOME/Library/Keychains/login.keychain-db"
sha1=$(openssl x509 -in "$cert" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
service=""
forget() {
  if [[ -n $service ]]; then kill "$service" 2>/dev/null || true; fi
  security remove-trusted-cert "$cert" 2>/dev/null || true
  security delete-certificate -Z "$sha1" "$keychain" >/dev/null 2>&1 || true
}
trap forget EXIT
echo "macOS asks for your password to trust the stand-in's certificate for TLS while the demo runs."
security add-trusted-cert -p ssl -k "$keychain" "$cert"
if ! security verify-cert -q -p ssl -s main.localhost -c "$cert"; then
  echo "macOS does not accept the stand-in's certificate for TLS to main.localhost (README, On a Mac)." >&2
  exit 1
fi
build-mac/quillmere-devsite "$cert" build-mac/devsite/key.pem &
service=$!
sleep 0.5
echo "Stand-in service on https://main.localhost:$port — starting Quillmere (quit it to stop the demo)."
open -W build-mac/Quillmere.app
