#include "site/site_server.h"

namespace history {

const char* SiteProblemKindName(SiteProblemKind k) {
  switch (k) {
    case SiteProblemKind::None: return "none";
    case SiteProblemKind::NoClient: return "no-client";
    case SiteProblemKind::BadSetting: return "bad-setting";
    case SiteProblemKind::UnknownHost: return "unknown-host";
    case SiteProblemKind::Unreachable: return "unreachable";
    case SiteProblemKind::Password: return "password";
    case SiteProblemKind::Tls: return "tls";
    case SiteProblemKind::Refused: return "refused";
    case SiteProblemKind::NotInitialised: return "not-initialised";
    case SiteProblemKind::OlderSchema: return "older-schema";
    case SiteProblemKind::NewerSchema: return "newer-schema";
    case SiteProblemKind::LocalHistory: return "local-history";
  }
  return "?";
}

}  // namespace history
