#include "platform/connection_text.h"

#include <cctype>

namespace {

struct Pair {
  std::string key, value;
};

// What could be read of a connection text.
struct Parsed {
  std::vector<Pair> pairs;
  bool incomplete = false;  // a part could not be read: it and what follows are not in pairs
  bool password = false;    // a password was given (in a URI's user part, say)
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// key=value pairs as libpq reads them: spaces around "=", a value in '...' with \' and \\, or
// bare up to the next space (a backslash escapes the next character in either).
Parsed ParsePairs(std::string_view t) {
  Parsed out;
  size_t i = 0;
  for (;;) {
    while (i < t.size() && IsSpace(t[i])) ++i;
    if (i >= t.size()) return out;
    const size_t keyStart = i;
    while (i < t.size() && t[i] != '=' && !IsSpace(t[i])) ++i;
    std::string key(t.substr(keyStart, i - keyStart));
    while (i < t.size() && IsSpace(t[i])) ++i;
    if (i >= t.size() || t[i] != '=' || key.empty()) {
      out.incomplete = true;
      return out;
    }
    ++i;
    while (i < t.size() && IsSpace(t[i])) ++i;
    std::string value;
    if (i < t.size() && t[i] == '\'') {
      bool closed = false;
      for (++i; i < t.size(); ++i) {
        if (t[i] == '\\' && i + 1 < t.size()) {
          value += t[++i];
        } else if (t[i] == '\'') {
          closed = true;
          ++i;
          break;
        } else {
          value += t[i];
        }
      }
      if (!closed) {
        out.incomplete = true;
        if (key == "password") out.password = true;
        return out;
      }
    } else {
      for (; i < t.size() && !IsSpace(t[i]); ++i) {
        if (t[i] == '\\' && i + 1 < t.size()) ++i;
        value += t[i];
      }
    }
    if (key == "password") out.password = true;
    out.pairs.push_back({std::move(key), std::move(value)});
  }
}

int Hex(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

// A URI's part with its %-escapes undone; false for a bad escape (not two hex digits, or %00).
bool Decode(std::string_view part, std::string& out) {
  out.clear();
  for (size_t i = 0; i < part.size(); ++i) {
    if (part[i] != '%') {
      out += part[i];
      continue;
    }
    if (i + 2 >= part.size()) return false;
    const int hi = Hex(part[i + 1]), lo = Hex(part[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

// The hosts and ports of a URI, comma-separated, each host in [] when it holds colons.
void ParseHosts(std::string_view hosts, Parsed& out) {
  std::string hostList, portList;
  bool anyPort = false;
  for (size_t n = 0; !hosts.empty() || n == 0; ++n) {
    const size_t comma = hosts.find(',');
    std::string_view one = hosts.substr(0, comma);
    std::string_view host = one, port;
    if (!one.empty() && one[0] == '[') {
      const size_t close = one.find(']');
      if (close == std::string_view::npos) {
        out.incomplete = true;
        break;
      }
      host = one.substr(1, close - 1);
      if (close + 1 < one.size() && one[close + 1] == ':') port = one.substr(close + 2);
    } else if (const size_t colon = one.find(':'); colon != std::string_view::npos) {
      host = one.substr(0, colon);
      port = one.substr(colon + 1);
    }
    std::string h, p;
    if (!Decode(host, h) || !Decode(port, p)) {
      out.incomplete = true;
      break;
    }
    hostList += (n ? "," : "") + h;
    portList += (n ? "," : "") + p;
    anyPort = anyPort || !p.empty();
    if (comma == std::string_view::npos) break;
    hosts = hosts.substr(comma + 1);
  }
  if (hostList.find_first_not_of(',') != std::string::npos) out.pairs.push_back({"host", hostList});
  if (anyPort) out.pairs.push_back({"port", portList});
}

// A URI's parameters, key=value joined by "&".
void ParseParameters(std::string_view rest, Parsed& out) {
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view param = rest.substr(0, amp);
    const size_t eq = param.find('=');
    std::string key, value;
    if (eq == std::string_view::npos || !Decode(param.substr(0, eq), key) || !Decode(param.substr(eq + 1), value)) {
      out.incomplete = true;
      if (param.find("password") != std::string_view::npos) out.password = true;
      return;
    }
    if (key == "password") out.password = true;
    out.pairs.push_back({std::move(key), std::move(value)});
    if (amp == std::string_view::npos) break;
    rest = rest.substr(amp + 1);
  }
}

// A URI as libpq reads it: postgresql://[user[:password]@][host[:port][,...]][/dbname][?key=value&...].
Parsed ParseUri(std::string_view t, size_t prefix) {
  Parsed out;
  std::string_view rest = t.substr(prefix);
  auto add = [&](const char* key, std::string_view raw) {
    std::string value;
    if (!Decode(raw, value)) {
      out.incomplete = true;
      return false;
    }
    if (!value.empty()) out.pairs.push_back({key, std::move(value)});
    return true;
  };
  // The user part, up to an "@" before the first "/".
  const size_t at = rest.find_first_of("@/");
  if (at != std::string_view::npos && rest[at] == '@') {
    const std::string_view user = rest.substr(0, at);
    const size_t colon = user.find(':');
    if (colon != std::string_view::npos) out.password = true;
    if (!add("user", user.substr(0, colon))) return out;
    rest = rest.substr(at + 1);
  }
  // The hosts and ports, up to "/" or "?".
  const size_t hostsEnd = rest.find_first_of("/?");
  ParseHosts(rest.substr(0, hostsEnd), out);
  if (out.incomplete || hostsEnd == std::string_view::npos) return out;
  rest = rest.substr(hostsEnd);
  if (rest[0] == '/') {
    const size_t q = rest.find('?');
    if (!add("dbname", rest.substr(1, q == std::string_view::npos ? q : q - 1))) return out;
    if (q == std::string_view::npos) return out;
    rest = rest.substr(q);
  }
  // The parameters.
  ParseParameters(rest.substr(1), out);
  return out;
}

Parsed Parse(std::string_view t) {
  while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
  for (const std::string_view scheme : {"postgresql://", "postgres://"})
    if (t.substr(0, scheme.size()) == scheme) return ParseUri(t, scheme.size());
  return ParsePairs(t);
}

bool Kept(const std::string& key) {
  for (const char* k : {"host", "hostaddr", "port", "dbname", "user", "sslmode", "service"})
    if (key == k) return true;
  return false;
}

std::string Shown(const std::string& value) {
  std::string v;
  bool quote = value.empty();
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      v += '?';
      continue;
    }
    if (c == '\'' || c == '\\') v += '\\';
    if (c == ' ' || c == '\'' || c == '\\') quote = true;
    v += c;
  }
  return quote ? "'" + v + "'" : v;
}

// "password" followed by "=" (spaces between), in any case.
bool NamesPassword(std::string_view t) {
  static constexpr std::string_view kWord = "password";
  for (size_t i = 0; i + kWord.size() <= t.size(); ++i) {
    size_t k = 0;
    while (k < kWord.size() && std::tolower(static_cast<unsigned char>(t[i + k])) == kWord[k]) ++k;
    if (k < kWord.size()) continue;
    size_t j = i + k;
    while (j < t.size() && IsSpace(t[j])) ++j;
    if (j < t.size() && t[j] == '=') return true;
  }
  return false;
}

bool IsUri(std::string_view t) {
  return t.find("postgresql://") != std::string_view::npos || t.find("postgres://") != std::string_view::npos;
}

}  // namespace

std::string RedactConnection(std::string_view text) {
  const Parsed p = Parse(text);
  std::string out;
  for (const Pair& pair : p.pairs) {
    if (!Kept(pair.key)) continue;
    if (!out.empty()) out += ' ';
    out += pair.key + "=" + Shown(pair.value);
  }
  if (p.incomplete) out += out.empty() ? "..." : " ...";
  return out;
}

bool ConnectionCarriesPassword(std::string_view text) {
  if (NamesPassword(text)) return true;
  const Parsed p = Parse(text);
  return p.password;
}

std::string RefusePasswordIn(const std::vector<std::string>& words) {
  for (const std::string& w : words) {
    // A URI anywhere in a word: read from where it starts.
    const size_t uri = IsUri(w) ? w.find("postgres") : std::string::npos;
    if (NamesPassword(w) || (uri != std::string::npos && ConnectionCarriesPassword(std::string_view(w).substr(uri))))
      return "the command line carries a password, which the terminal does not take (it would be kept in the "
             "session log and the shell's history): put it in libpq's password file (~/.pgpass, "
             "%APPDATA%\\postgresql\\pgpass.conf on Windows) instead";
  }
  return {};
}
