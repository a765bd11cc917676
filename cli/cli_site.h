// velmoor-cli's site commands (site init, site status, site push), on the site the session's
// settings choose (--site, else the history settings' "site =", none with --no-site).
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "site/site_sender.h"

// The exit code of a site problem: 3 unreachable, 1 refused.
int ExitCodeForSite(const history::SiteProblem& problem);

// Runs site init, status or push; returns the exit code (the table in --help).
int RunSiteCommand(const CliOptions& options, std::FILE* result = stdout, std::FILE* messages = stderr);
