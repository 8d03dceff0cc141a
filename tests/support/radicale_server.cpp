// A Radicale CalDAV server of the test's own on 127.0.0.1.
#include "tests/support/radicale_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavik::test {

namespace {

std::string findInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port nothing listens on right now (the kernel's pick for port 0).
int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("no free port on 127.0.0.1");
  ::close(fd);
  return ntohs(address.sin_port);
}

bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

RadicaleServer::RadicaleServer(std::string user, std::string password)
    : m_user(std::move(user)), m_password(std::move(password)) {
  if (findInPath("radicale").empty()) {
    m_skipReason = "radicale is not installed (apt-get install radicale)";
    return;
  }
  writeFile(m_dir.file("users"), m_user + ":" + m_password + "\n");
  std::filesystem::create_directories(storageFolder());
  // A port taken between our pick and radicale's bind: pick again.
  for (int attempt = 0; attempt < 3; ++attempt)
    if (start()) return;
  throw std::runtime_error("radicale did not start:\n" + log());
}

RadicaleServer::~RadicaleServer() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
}

bool RadicaleServer::start() {
  m_port = freePort();
  const std::string config = m_dir.file("config");
  writeFile(config, "[server]\nhosts = 127.0.0.1:" + std::to_string(m_port) +
                        "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + m_dir.file("users") +
                        "\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " +
                        storageFolder() + "\n[web]\ntype = none\n[logging]\nlevel = warning\n");
  const std::string logFile = m_dir.file("radicale.log");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Ends with the test program even when that is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execlp("radicale", "radicale", "--config", config.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return false;
    if (accepts(m_port)) {
      m_pid = pid;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  throw std::runtime_error("radicale did not answer within 15 s:\n" + log());
}

std::string RadicaleServer::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_port);
}

std::string RadicaleServer::collectionUrl(const std::string& name) const {
  return baseUrl() + "/" + m_user + "/" + name + "/";
}

void RadicaleServer::makeCollection(const std::string& name) const {
  const std::string folder = storageFolder() + "/collection-root/" + m_user + "/" + name;
  std::filesystem::create_directories(folder);
  writeFile(folder + "/.Radicale.props",
            R"({"C:supported-calendar-component-set": "VEVENT", "D:displayname": ")" + name +
                R"(", "tag": "VCALENDAR"})");
}

std::string RadicaleServer::log() const {
  return readFile(m_dir.file("radicale.log"));
}

}  // namespace tavik::test
