# Sourced by the benches that time PostgreSQL: a throw-away PostgreSQL 15 server of their own,
# its data and socket in $dir/pg ($dir: the bench's own temporary folder, set before).
pg_bin=/usr/lib/postgresql/15/bin
as_postgres=()
if [[ $(id -u) -eq 0 ]]; then as_postgres=(runuser -u postgres --); fi

# For the bench's exit trap, before it removes $dir.
stop_bench_postgres() {
  if [[ -f $dir/pg/postmaster.pid ]]; then
    "${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$dir/pg" -m immediate -w stop >/dev/null || true
  fi
}

# Starts the server, listening on its socket only; the arguments are further server options
# (-F: no fsync). Without PostgreSQL 15 the bench ends here, after its other figures.
start_bench_postgres() {
  [[ -x $pg_bin/initdb ]] || { echo "PostgreSQL 15 not installed: no PostgreSQL figures"; exit 0; }
  mkdir "$dir/pg"
  chmod 755 "$dir"  # the server's user reaches its folder through the bench's own
  if [[ $(id -u) -eq 0 ]]; then chown postgres "$dir/pg"; fi
  "${as_postgres[@]}" "$pg_bin/initdb" -D "$dir/pg" -A trust -U postgres --no-sync >/dev/null
  "${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$dir/pg" -l "$dir/pg/log" -w \
    -o "-k $dir/pg -c listen_addresses= $*" start >/dev/null
}
