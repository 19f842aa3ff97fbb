#!/bin/bash
# The web page in headless Chromium (page_test.js), driven by puppeteer-core at the exact version
# of package.json, installed into the build folder.
set -euo pipefail
web_dir=$(realpath "${1:-build-web}")
here=$(cd "$(dirname "$0")" && pwd)
modules="$web_dir/test-web"
mkdir -p "$modules"
if ! cmp -s "$here/package.json" "$modules/package.json" || [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  cp "$here/package.json" "$modules/"
  (cd "$modules" && npm install --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
NODE_PATH="$modules/node_modules" node "$here/page_test.js" "$web_dir/site" "$here/../../examples/demo"
