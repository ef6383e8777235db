#!/usr/bin/env bash
# bench/prefixlist.sh [BEFORE]
# tolv-extract --verify on hostile reports, unsigned (made once into
# build/bench/prefixlist), whose one reference is canonicalized by the
# exclusive method under 1,000 namespace declarations: with an
# InclusiveNamespaces PrefixList of 40,000 prefixes (above the limit) or of 256
# prefixes said 150 times (at it) over 240,000 empty elements (about 1.2 MB
# each), and with no list over a million elements whose prefix is the first
# of the thousand declared (9 MB). Prints each run's wall time and the check's
# line. BEFORE, another build of tolv-extract (of an earlier commit, say), is
# timed too, stopped after TOLV_BENCH_LIMIT seconds (default 60); where it is
# stopped, its time on a slice of 1/2000 of the elements, times 2,000,
# estimates what the whole report would have cost it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLV_BENCH_DIR:-$root/build/bench}
build=${TOLV_BENCH_BUILD:-$out/native}
before=${1:-}
limit=${TOLV_BENCH_LIMIT:-60}

mkdir -p "$out/prefixlist"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tolv-extract >/dev/null

work=$out/prefixlist
if [ ! -f "$work/wide-scope-slice.Tolv" ]; then
  python3 - "$work" <<'PY'
import base64, itertools, string, sys
work = sys.argv[1]
names = ["".join(p) for p in itertools.product(string.ascii_lowercase, repeat=4)]

def report(prefix_list, element, elements):
    declarations = "".join(f' xmlns:q{i:03}="urn:q"' for i in range(1000))
    transform = '<ds:Transform Algorithm="http://www.w3.org/2001/10/xml-exc-c14n#">'
    if prefix_list:
        transform += ('<ec:InclusiveNamespaces xmlns:ec="http://www.w3.org/2001/10/xml-exc-c14n#" '
                      f'PrefixList="{prefix_list}"/>')
    made_up = base64.b64encode(bytes(256)).decode()
    return (
        '<ds:Signature xmlns:ds="http://www.w3.org/2000/09/xmldsig#"><ds:SignedInfo>'
        '<ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>'
        '<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>'
        f'<ds:Reference URI="#P"><ds:Transforms>{transform}</ds:Transform></ds:Transforms>'
        '<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>'
        f'<ds:DigestValue>{base64.b64encode(bytes(32)).decode()}</ds:DigestValue></ds:Reference>'
        f'</ds:SignedInfo><ds:SignatureValue>{made_up}</ds:SignatureValue>'
        f'<ds:KeyInfo><ds:X509Data><ds:X509Certificate>{made_up}</ds:X509Certificate>'
        '</ds:X509Data></ds:KeyInfo><ds:Object Id="P">'
        f'<n{declarations}>{element * elements}{base64.b64encode(b"%PDF-1.4").decode()}</n>'
        '</ds:Object></ds:Signature>')

reports = {"above-limit": (" ".join(names[:40000]), "<n/>", 240000),
           "at-limit": (" ".join(names[:256] * 150), "<n/>", 240000),
           "wide-scope": ("", "<q000:n/>", 1000000)}
for name, (prefix_list, element, elements) in reports.items():
    for suffix, count in (("", elements), ("-slice", elements // 2000)):
        with open(f"{work}/{name}{suffix}.Tolv", "w") as f:
            f.write(report(prefix_list, element, count))
PY
fi

# Wall seconds of one --verify, or ">LIMIT" where it was stopped.
seconds() {
  local start code=0
  start=$(date +%s.%N)
  timeout "$limit" "$@" >/dev/null 2>&1 || code=$?
  if [ "$code" = 124 ]; then
    echo ">$limit"
  else
    python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f}')" "$start" "$(date +%s.%N)"
  fi
}

for name in above-limit at-limit wide-scope; do
  report=$work/$name.Tolv
  echo "$name ($(stat -c %s "$report") bytes):"
  echo "  after:  $(seconds "$build/tolv-extract" --verify "$report") s"
  "$build/tolv-extract" --verify "$report" | cut -f1,3- | sed 's/^/    /' || true
  if [ -n "$before" ]; then
    whole=$(seconds "$before" --verify "$report")
    if [ "${whole#>}" != "$whole" ]; then
      slice=$(seconds "$before" --verify "$work/$name-slice.Tolv")
      estimate=$(python3 -c "print(f'{float(\"${slice#>}\") * 2000:.0f}')")
      whole="$whole s (a 1/2000 slice: $slice s, so about $estimate s for the whole)"
    else
      whole="$whole s"
    fi
    echo "  before: $whole"
  fi
done
