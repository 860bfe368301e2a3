#!/usr/bin/env bash
# Installs the pinned MCP client of the end-to-end tests from package-lock.json, once.
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -f node_modules/@modelcontextprotocol/sdk/package.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
