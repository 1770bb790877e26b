#!/usr/bin/env bash
# Helpers for the builds that keep a folder of their own libraries (a prefix) beside the
# host's: the Windows and browser builds. Sourced, not run.

# nlohmann-json is header-only: a cross build uses the host's headers, through a package
# entry of its own in PREFIX so that no other host header comes along.
share_json_headers() {
  local prefix="$1" config
  config="$(dirname "$(dpkg -L nlohmann-json3-dev | grep -m1 'nlohmann_jsonConfig.cmake$')")"
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  ln -sfn /usr/include/nlohmann "$prefix/include/nlohmann"
  rm -rf "$prefix/share/cmake/nlohmann_json"
  cp -r "$config" "$prefix/share/cmake/nlohmann_json"
}
