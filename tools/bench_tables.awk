# The benchmark tables of ./lexoradx bench, from Google Benchmark CSV files
# (fields: name, iterations, real time, CPU time, unit, bytes per second, ...),
# names "kind/shape/bytes": MiB/s per kind and shape by page size, how far the
# rate falls from 1 MB to 10 MB, the whole lookup over libxml2's SAX pass, and
# what current-markup mode costs on the classic realistic page.
/^"[a-z0-9_]+\// {
  gsub(/"/, "", $1)
  n = split($1, part, "/")
  row = part[1] "/" part[2]
  if (!(row in seen)) { seen[row] = 1; order[++rows] = row }
  rate[row, part[n]] = $6 / 1048576
}

function cell(value) { return value == "" ? sprintf("%9s", "-") : sprintf("%9.1f", value) }

END {
  printf "%-32s %9s %9s %9s %9s\n", "MiB/s (CPU time)", "100 KB", "1 MB", "10 MB", "1MB÷10MB"
  for (i = 1; i <= rows; ++i) {
    r = order[i]
    flat = (rate[r, 10485760] > 0) ? rate[r, 1048576] / rate[r, 10485760] : ""
    printf "%-32s %s %s %s %s\n", r, cell(rate[r, 102400]), cell(rate[r, 1048576]), cell(rate[r, 10485760]), cell(flat)
  }
  printf "\n%-32s %9s %9s\n", "lookup ÷ libxml2 SAX", "1 MB", "10 MB"
  for (i = 1; i <= rows; ++i) {
    r = order[i]
    if (r !~ /^lookup\//) continue
    shape = substr(r, 8)
    base = shape
    sub(/_current$/, "", base)  # a page read in current-markup mode is still its shape's page
    x = "libxml2/" base
    if (!(x in seen)) continue
    one = rate[x, 1048576] > 0 ? rate[r, 1048576] / rate[x, 1048576] : ""
    ten = rate[x, 10485760] > 0 ? rate[r, 10485760] / rate[x, 10485760] : ""
    printf "%-32s %s %s\n", shape, cell(one), cell(ten)
  }
  c = "lookup/realistic"; m = "lookup/realistic_current"
  if (rate[m, 1048576] > 0 && rate[m, 10485760] > 0)
    printf "\ncurrent-markup mode on the classic realistic page: %+.1f %% time at 1 MB, %+.1f %% at 10 MB\n",
           100 * (rate[c, 1048576] / rate[m, 1048576] - 1), 100 * (rate[c, 10485760] / rate[m, 10485760] - 1)
}
