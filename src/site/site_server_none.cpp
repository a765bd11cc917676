// A build without the PostgreSQL client (the Windows build): the site is never reached, and
// says why; the PC's own history is kept as always.
#include "site/site_server.h"

namespace history {

namespace {
SiteProblem NoClient() {
  return {SiteProblemKind::NoClient,
          "This build of the terminal has no PostgreSQL client, so it cannot send to a site server; this PC's own "
          "history is kept as always.",
          {}};
}
}  // namespace

SiteProblem ReadSiteSetting(const std::string&, SiteSetting& setting) {
  setting = {};
  return NoClient();
}

struct SiteServer::Impl {};
SiteServer::SiteServer() = default;
SiteServer::~SiteServer() = default;
SiteProblem SiteServer::Connect(const SiteSetting&, const std::function<bool()>&) { return NoClient(); }
void SiteServer::Disconnect() {}
void SiteServer::Interrupt() {}
void SiteServer::SetDeadline(std::optional<std::chrono::steady_clock::time_point>) {}
SiteProblem SiteServer::CheckSending() { return NoClient(); }
bool SiteServer::Connected() const { return false; }
SiteProblem SiteServer::Open(const SiteSetting&, const std::function<bool()>&) { return NoClient(); }
SiteProblem SiteServer::CheckSchema() { return NoClient(); }
SiteProblem SiteServer::Init(const SiteSetting&, int& fromVersion, int) {
  fromVersion = 0;
  return NoClient();
}
SiteProblem SiteServer::Send(const std::vector<HistoryStore::OutboxEvent>&) { return NoClient(); }
std::optional<int32_t> SiteServer::FindUnit(std::string_view, SiteProblem& problem) {
  problem = NoClient();
  return std::nullopt;
}
SiteProblem SiteServer::LoadUnit(int32_t, std::vector<HistoryStore::OutboxEvent>&) { return NoClient(); }
SiteProblem SiteServer::Due(const HistorySettings&, int64_t, std::vector<UnitFlags>&) { return NoClient(); }
SiteProblem SiteServer::Counts(int64_t&, int64_t&, int64_t&) { return NoClient(); }

}  // namespace history
