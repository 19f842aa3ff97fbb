#!/bin/bash
# The web page in headless Chromium (page_test.js), driven by puppeteer-core at the exact versions
# of package.json and package-lock.json, installed into the build folder.
set -euo pipefail
web_dir=$(realpath "${1:-build-web}")
here=$(cd "$(dirname "$0")" && pwd)
modules="$web_dir/test-web"
mkdir -p "$modules"
# Every package at the version the lock file names (npm ci), installed again when it changes.
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
NODE_PATH="$modules/node_modules" node "$here/page_test.js" "$web_dir/site" "$here/../../examples/demo"
