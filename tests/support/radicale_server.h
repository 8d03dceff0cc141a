// A Radicale CalDAV server of the test's own on 127.0.0.1: a free port, a temporary storage
// folder and one htpasswd user; stopped (SIGTERM, then waited for) when the object goes.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

namespace tavik::test {

class RadicaleServer {
 public:
  // Starts `radicale` from PATH and waits until it accepts connections (up to 15 s). When
  // radicale is not installed, nothing runs and skipReason() says so; any other failure to
  // start throws std::runtime_error with the end of its log.
  explicit RadicaleServer(std::string user = "anna", std::string password = "geheim");
  ~RadicaleServer();
  RadicaleServer(const RadicaleServer&) = delete;
  RadicaleServer& operator=(const RadicaleServer&) = delete;

  bool running() const { return m_pid > 0; }
  // Why running() is false, for GTEST_SKIP().
  const std::string& skipReason() const { return m_skipReason; }

  int port() const { return m_port; }
  const std::string& user() const { return m_user; }
  const std::string& password() const { return m_password; }
  // "http://127.0.0.1:PORT"
  std::string baseUrl() const;
  // "http://127.0.0.1:PORT/USER/NAME/" (not made; MKCALENDAR or makeCollection() does that)
  std::string collectionUrl(const std::string& name) const;
  // Makes a calendar collection for VEVENTs at collectionUrl(name) by Radicale's own storage
  // layout, before or while the server runs.
  void makeCollection(const std::string& name) const;
  // The folder Radicale keeps its collections in.
  std::string storageFolder() const { return m_dir.path() + "/storage"; }
  // What Radicale wrote to its log so far.
  std::string log() const;

 private:
  bool start();

  std::string m_user;
  std::string m_password;
  TempDir m_dir{"tavik-radicale"};
  std::string m_skipReason;
  pid_t m_pid = -1;
  int m_port = 0;
};

}  // namespace tavik::test
