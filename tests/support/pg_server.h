// A PostgreSQL server of the test program's own (Debian's package, made and started by
// scripts/pg-test-server.sh in a temporary folder, stopped when the program ends), so that a
// test may stop or kill it without disturbing another program's tests.
#pragma once
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

class PgServer {
 public:
  static PgServer& Get() {
    static PgServer server;
    return server;
  }
  ~PgServer() {
    Run("stop");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool ok() const { return ok_; }
  // start, stop or kill (every server process with SIGKILL).
  bool Run(const char* verb) const {
    const std::string cmd =
        std::string(VT_SOURCE_DIR) + "/scripts/pg-test-server.sh " + verb + " '" + dir_.string() + "' >/dev/null";
    return std::system(cmd.c_str()) == 0;
  }
  const std::string& host() const { return host_; }
  const std::string& port() const { return port_; }
  std::string Conninfo(const std::string& db) const {
    return "host=" + host_ + " port=" + port_ + " user=postgres dbname=" + db;
  }
  // The first value the statement gives (empty for none), or "ERROR: ..." when it fails.
  std::string Sql(const std::string& db, const std::string& sql) const {
    PGconn* c = PQconnectdb(Conninfo(db).c_str());
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);  // "does not exist, skipping"
    std::string out;
    if (PQstatus(c) != CONNECTION_OK) {
      out = std::string("ERROR: ") + PQerrorMessage(c);
    } else {
      PGresult* r = PQexec(c, sql.c_str());
      const ExecStatusType s = PQresultStatus(r);
      if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) out = std::string("ERROR: ") + PQresultErrorMessage(r);
      else if (PQntuples(r) > 0 && PQnfields(r) > 0) out = PQgetvalue(r, 0, 0);
      PQclear(r);
    }
    PQfinish(c);
    return out;
  }
  // A database of the test's own, empty.
  std::string FreshDatabase(const std::string& name) const {
    Sql("postgres", "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    Sql("postgres", "CREATE DATABASE " + name);
    return Conninfo(name);
  }

 private:
  PgServer() {
    dir_ = std::filesystem::temp_directory_path() / ("vt-pg-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    ok_ = Run("start");
    std::ifstream env(dir_ / "env");
    for (std::string line; std::getline(env, line);) {
      if (line.rfind("PGHOST=", 0) == 0) host_ = line.substr(7);
      if (line.rfind("PGPORT=", 0) == 0) port_ = line.substr(7);
    }
    ok_ = ok_ && !host_.empty() && !port_.empty();
  }
  std::filesystem::path dir_;
  std::string host_, port_;
  bool ok_ = false;
};

// A TCP listener on 127.0.0.1 that takes connections and says nothing, or (garbage) answers
// each with what no PostgreSQL server would send.
class Listener {
 public:
  explicit Listener(bool garbage = false) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), size);
    ::listen(fd_, 64);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = std::to_string(ntohs(a.sin_port));
    if (garbage)  // until the socket is shut
      thread_ = std::thread([this] {
        for (int c; (c = ::accept(fd_, nullptr, nullptr)) >= 0; ::close(c))
          (void)!::write(c, "HTTP/1.0 400 Bad Request\r\n\r\n", 28);
      });
  }
  ~Listener() {
    ::shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
  }
  const std::string& port() const { return port_; }

 private:
  int fd_ = -1;
  std::string port_;
  std::thread thread_;
};
