#!/usr/bin/env bash
# HTTPS on loopback for the tests: a throwaway certificate authority and a certificate for
# 127.0.0.1 and localhost signed by it, and Debian's nginx terminating TLS in front of a
# plain HTTP server, so that a client can be tested against a board with a private
# certificate. Everything lives in one folder the caller gives (keys, configuration, pid,
# logs, nginx's temporary files); nginx runs as the calling user (as root it keeps root for
# its workers, which need the folder) and listens on a free port of 127.0.0.1 only. Sourced.
#
#   tls_make_certificates FOLDER   the authority FOLDER/ca.pem (its key ca.key) and the
#                                  server's FOLDER/server.pem and server.key
#   tls_spki FOLDER                prints the base64 SHA-256 of the server key's
#                                  SubjectPublicKeyInfo (Chromium's
#                                  --ignore-certificate-errors-spki-list takes it)
#   tls_start_proxy FOLDER URL     nginx on https://127.0.0.1:PORT proxying to URL
#                                  (http://127.0.0.1:PORT of the server behind it); makes the
#                                  certificates first if FOLDER has none; returns once it
#                                  answers through TLS, and sets tls_port, tls_url (its
#                                  https:// address), tls_ca (the authority's PEM file) and
#                                  tls_nginx_pid. FOLDER/access.log gets a line a request:
#                                  method, path, status, request and answer sizes in bytes
#   tls_stop_proxy                 stops nginx and waits for it; callers put it (or
#                                  tls_cleanup, the same) in their EXIT trap
#
# The packages come from tamq_install_tls_deps (scripts/lib/deps.sh).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

tls_port=""
tls_url=""
tls_ca=""
tls_nginx_pid=""

# tls_make_certificates FOLDER: P-256 keys, valid for two days; enough for any test run.
tls_make_certificates() {
  local folder="$1"
  mkdir -p "$folder"
  local subject="/O=TAMQ 4 Pelrok tests"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj "$subject/CN=Throwaway test authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$folder/ca.key" -out "$folder/ca.pem" 2>"$folder/openssl.log" ||
    { cat "$folder/openssl.log" >&2; return 1; }
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -subj "$subject/CN=127.0.0.1" -keyout "$folder/server.key" -out "$folder/server.csr" \
    2>>"$folder/openssl.log" || { cat "$folder/openssl.log" >&2; return 1; }
  # Clients check the names in subjectAltName, never the common name.
  printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=serverAuth" "subjectAltName=IP:127.0.0.1,DNS:localhost" >"$folder/server.ext"
  openssl x509 -req -in "$folder/server.csr" -CA "$folder/ca.pem" -CAkey "$folder/ca.key" \
    -CAcreateserial -days 2 -sha256 -extfile "$folder/server.ext" -out "$folder/server.pem" \
    2>>"$folder/openssl.log" || { cat "$folder/openssl.log" >&2; return 1; }
  tls_ca="$folder/ca.pem"
}

# tls_spki FOLDER: the pin of the server's key, one line.
tls_spki() {
  openssl pkey -in "$1/server.key" -pubout -outform der 2>/dev/null |
    openssl dgst -sha256 -binary | base64 -w0
  echo
}

# tls_write_nginx_conf FOLDER PORT UPSTREAM: nginx's whole configuration, every path in FOLDER.
tls_write_nginx_conf() {
  local folder="$1" port="$2" upstream="$3" user=""
  # A master started as root hands its workers to "nobody" unless told otherwise, and
  # nobody cannot enter a folder made by mktemp.
  if [ "$(id -u)" -eq 0 ]; then user="user root root;"; fi
  mkdir -p "$folder/nginx-temp"
  cat >"$folder/nginx.conf" <<END
$user
worker_processes 1;
pid $folder/nginx.pid;
error_log $folder/error.log warn;
daemon off;
events { worker_connections 64; }
http {
  access_log off;
  log_format sizes '\$request_method \$uri \$status request=\$request_length answer=\$bytes_sent';
  client_body_temp_path $folder/nginx-temp/body;
  proxy_temp_path $folder/nginx-temp/proxy;
  fastcgi_temp_path $folder/nginx-temp/fastcgi;
  uwsgi_temp_path $folder/nginx-temp/uwsgi;
  scgi_temp_path $folder/nginx-temp/scgi;
  # A run's record is at most 256 KiB, base64 in JSON a third more: the board refuses
  # larger bodies itself, with its own answer.
  client_max_body_size 4m;
  server {
    listen 127.0.0.1:$port ssl;
    server_name 127.0.0.1 localhost;
    ssl_certificate $folder/server.pem;
    ssl_certificate_key $folder/server.key;
    access_log $folder/access.log sizes;
    location / {
      proxy_pass $upstream;
      proxy_http_version 1.1;
      proxy_set_header Host \$http_host;
      proxy_set_header Connection "";
      proxy_set_header X-Forwarded-For \$remote_addr;
      proxy_set_header X-Forwarded-Proto https;
    }
  }
}
END
}

# Whether nginx answers through TLS with the authority's certificate (any HTTP status),
# or has ended.
tls_answers_or_ended() {
  ! kill -0 "$tls_nginx_pid" 2>/dev/null && return 0
  curl -s -o /dev/null --max-time 2 --cacert "$tls_ca" "$tls_url/" 2>/dev/null
}

# tls_start_proxy FOLDER URL: tries free-looking ports until nginx keeps one (another
# program may take a port between the look and the bind).
tls_start_proxy() {
  local folder="$1" upstream="$2" attempt
  mkdir -p "$folder"
  folder="$(cd "$folder" && pwd)"
  [ -f "$folder/server.pem" ] || tls_make_certificates "$folder" || return 1
  tls_ca="$folder/ca.pem"
  for attempt in 1 2 3 4 5 6 7 8; do
    tls_port="$(tamq_free_port)"
    tls_url="https://127.0.0.1:$tls_port"
    tls_write_nginx_conf "$folder" "$tls_port" "$upstream"
    : >"$folder/error.log"
    nginx -p "$folder" -c "$folder/nginx.conf" -e "$folder/error.log" >>"$folder/nginx.out" 2>&1 &
    tls_nginx_pid=$!
    tamq_poll 30 tls_answers_or_ended || true
    if kill -0 "$tls_nginx_pid" 2>/dev/null && tls_answers_or_ended; then
      return 0
    fi
    tls_stop_proxy
    if ! grep -q "Address already in use" "$folder/error.log" "$folder/nginx.out" 2>/dev/null; then
      break
    fi
  done
  echo "nginx did not start in $folder:" >&2
  cat "$folder/error.log" "$folder/nginx.out" >&2 2>/dev/null
  return 1
}

tls_stop_proxy() {
  if [ -n "$tls_nginx_pid" ] && kill -0 "$tls_nginx_pid" 2>/dev/null; then
    # QUIT lets the workers finish the requests in hand; TERM if that takes too long.
    kill -QUIT "$tls_nginx_pid" 2>/dev/null || true
    tamq_poll 10 tls_nginx_ended || kill -TERM "$tls_nginx_pid" 2>/dev/null || true
    wait "$tls_nginx_pid" 2>/dev/null || true
  fi
  tls_nginx_pid=""
}

tls_nginx_ended() { ! kill -0 "$tls_nginx_pid" 2>/dev/null; }

tls_cleanup() { tls_stop_proxy; }
