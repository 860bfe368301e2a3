#!/usr/bin/env bash
# Usage: demo-site.sh [EXTRA_SPACES [EXTRA_PAGES]]
# Prints the demo site's seed (fake_confluence's --seed format): four spaces and a dozen pages
# edited over the last two weeks, dated relative to now so the panel reads "Today", "Yesterday", …,
# and as many made-up spaces and pages on top as asked for (none by default).
# The one accepted login is demo@example.com with the token demo-token.
set -euo pipefail

ago() { date -u -d "-$1" +%Y-%m-%dT%H:%M:%S.000Z; }

page() {  # TITLE SPACE VERSION AGE BODY
  printf '    {"title": "%s", "space": "%s", "version": %s, "modifiedAt": "%s", "body": "%s"}' \
    "$1" "$2" "$3" "$(ago "$4")" "$5"
}

cat <<EOF
{
  "credentials": {"email": "demo@example.com", "token": "demo-token"},
  "spaces": [
    {"key": "ENG", "name": "Engineering"},
    {"key": "PROD", "name": "Product"},
    {"key": "OPS", "name": "Operations"},
    {"key": "TEAM", "name": "Team Handbook"}
  ],
  "pages": [
$(page "Release checklist for 2.4" ENG 9 "25 minutes" "<h2>Before the tag</h2><ul><li>Green CI on main</li><li>Changelog reviewed</li></ul>"),
$(page "Incident review: search latency on 3 December" OPS 4 "2 hours" "<p>Search answered slowly for 40 minutes after an index rebuild.</p>"),
$(page "API guidelines" ENG 23 "5 hours" "<p>Every endpoint returns JSON; errors carry a message and a code.</p>"),
$(page "Q1 roadmap: offline editing, faster search and a calmer notification centre for teams that share many spaces" PROD 12 "1 day" "<p>Three themes for the quarter.</p>"),
$(page "On-call rota" OPS 31 "1 day" "<p>Who is on call this week and how to reach them.</p>"),
$(page "Onboarding: your first week" TEAM 7 "2 days" "<p>Welcome! Here is what your first week looks like.</p>"),
$(page "Architecture decision: one HTTP connection pool" ENG 2 "3 days" "<p>We keep one pool per process.</p>"),
$(page "Customer interview notes — November" PROD 5 "4 days" "<p>Notes from eight interviews.</p>"),
$(page "Runbook: rotate the TLS certificates" OPS 3 "6 days" "<ol><li>Issue</li><li>Deploy</li><li>Verify</li></ol>"),
$(page "Holiday calendar 2027" TEAM 1 "8 days" "<p>Public holidays by office.</p>"),
$(page "Design review: settings window" PROD 6 "11 days" "<p>Feedback from the design review.</p>"),
$(page "Code review etiquette" ENG 4 "13 days" "<p>Be kind, be specific, be quick.</p>")
  ],
  "extraSpaces": ${1:-0}, "extraPages": ${2:-0}
}
EOF
