# Sourced by the benchmark scripts: replace_doc_section DOC HEADING BODY
# puts BODY under "## HEADING" in DOC, keeping every other section (a
# section runs up to the next "## "); a missing section is appended, a
# missing DOC is created.
replace_doc_section() {
  local doc=$1 section=$2 body=$3
  if [ -f "$doc" ]; then
    awk -v heading="## $section" -v body_file=<(echo "$body") '
      function emit(  line) { while ((getline line < body_file) > 0) print line; printed = 1 }
      $0 == heading { skipping = 1; emit(); next }
      skipping && /^## / { skipping = 0; print "" }
      !skipping { print }
      END { if (!printed) { print ""; emit() } }
    ' "$doc" >"$doc.tmp"
    mv "$doc.tmp" "$doc"
  else
    { echo "# Benchmarks"; echo; echo "$body"; } >"$doc"
  fi
}
