#!/usr/bin/env bash
# The house's checks: formatting, the core's independence from every toolkit, shell scripts, and
# clang-tidy over the product's C++ in the build tree given (default build/, compiled already).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
mapfile -t cxx < <(git ls-files '*.cpp' '*.h' '*.mm' | grep -v '^tests/mac-check/include/')
clang-format-14 --dry-run --Werror "${cxx[@]}" || status=1
# The core and the platform interfaces name no toolkit: only the backends under platform/<name>/ do.
toolkit='#\s*(include|import)\s*[<"](gtk/|gdk/|glib|gio/|webkit|jsc/|libsoup|X11/|pipewire/|spa/|AppKit/|Foundation/|WebKit/|ScreenCaptureKit/|CoreGraphics/|CoreFoundation/|objc/|dispatch/)'
if git ls-files app web signin update overlay hotkeys capture ':(glob)platform/*.h' | grep -E '\.(h|cpp)$' |
    xargs grep -nE "$toolkit"; then
  echo "lint: the core includes a toolkit header (above); the platform layer translates for it" >&2
  status=1
fi
mapfile -t shells < <(git ls-files '*.sh' .ci/run)
shellcheck -S warning "${shells[@]}" || status=1
build=${1:-build}
run-clang-tidy-14 -p "$build" -quiet -j "$(nproc)" \
  "$PWD/(app|web|signin|update|overlay|hotkeys|capture|platform/gtk|platform/posix|devsite)/.*\.cpp$" \
  >"$build/clang-tidy.log" 2>&1 || { grep -E "(error|warning):" "$build/clang-tidy.log"; status=1; }
exit $status
