#include "tools/zvword/Isolate.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zvword::cli {
namespace {

bool WriteAll(int fd, const void* data, size_t size) {
  auto p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteField(int fd, const std::string& s) {
  const uint64_t size = s.size();
  return WriteAll(fd, &size, sizeof size) && WriteAll(fd, s.data(), s.size());
}

// Test hook: ZVWORD_TEST_WORKER=hang:NAME, crash:NAME or hog:NAME makes the worker for the input
// whose name ends in NAME misbehave, so the tests need no hostile document for each failure.
void TestHook(const std::string& file) {
  const char* hook = std::getenv("ZVWORD_TEST_WORKER");
  if (!hook) return;
  const std::string h = hook;
  const size_t colon = h.find(':');
  if (colon == std::string::npos) return;
  const std::string what = h.substr(0, colon), name = h.substr(colon + 1);
  if (name.empty() || file.size() < name.size() || file.compare(file.size() - name.size(), name.size(), name) != 0)
    return;
  if (what == "hang")
    for (;;) ::pause();
  if (what == "crash") ::raise(SIGSEGV);
  if (what == "hog") {
    static char* volatile kept;  // kept where the optimizer cannot drop the allocation
    kept = new char[size_t{1} << 32];
    std::memset(kept, 1, size_t{1} << 32);
  }
}

[[noreturn]] void RunWorker(int fd, const std::string& file, const Options& o) {
  if (o.maxMemory > 0) {
    const rlim_t bytes = static_cast<rlim_t>(o.maxMemory) << 20;
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
  }
  DocumentResult r;
  try {
    TestHook(file);
    r = ProcessDocument(file, o);
  } catch (const std::bad_alloc&) {
    r.error = "Out of memory";
  }
  if (r.error == "Out of memory" && o.maxMemory > 0)
    r.error += " (over --max-memory " + std::to_string(o.maxMemory) + " MB)";
  if (o.json && r.output.empty()) r.output = JsonErrorLine(file, r.error);
  const std::string partial = r.partial ? "1" : "0";
  const bool ok = WriteField(fd, r.error) && WriteField(fd, partial) && WriteField(fd, r.output);
  ::_exit(ok ? 0 : 3);
}

}  // namespace

DocumentResult ProcessIsolated(const std::string& file, const Options& o) {
  DocumentResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.error = std::string("cannot start a worker: ") + std::strerror(errno);
    return result;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    result.error = std::string("cannot start a worker: ") + std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    // Only this worker's pipe stays open: a sibling's write end held here would keep that
    // sibling's reader from seeing the end of its output.
    if (fds[1] > 3) ::close_range(3, static_cast<unsigned>(fds[1]) - 1, 0);
    ::close_range(static_cast<unsigned>(fds[1]) + 1, ~0U, 0);
    RunWorker(fds[1], file, o);
  }
  ::close(fds[1]);

  // Read while the worker writes (its text may exceed the pipe), until it closes or time is up.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(o.timeout * 1000));
  std::string bytes;
  bool timedOut = false;
  for (;;) {
    int wait = -1;
    if (o.timeout > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        timedOut = true;
        break;
      }
      wait = static_cast<int>(std::min<int64_t>(left, 1 << 30));
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;  // the deadline is checked above
    char buf[1 << 16];
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", o.timeout);
    result.error = std::string("timed out after ") + seconds + " s (--timeout)";
    result.output = o.json ? JsonErrorLine(file, result.error) : "";
    return result;
  }
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    result.error = "the reader crashed (signal " + std::to_string(sig) + ", " + strsignal(sig) + ")";
    result.output = o.json ? JsonErrorLine(file, result.error) : "";
    return result;
  }
  // error, partial flag, output: each a 64-bit length and its bytes.
  std::string fields[3];
  size_t at = 0;
  for (auto& f : fields) {
    uint64_t size = 0;
    if (bytes.size() - at < sizeof size) break;
    std::memcpy(&size, bytes.data() + at, sizeof size);
    at += sizeof size;
    if (bytes.size() - at < size) break;
    f = bytes.substr(at, size);
    at += size;
  }
  if (at != bytes.size() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.error = "the worker ended without a result (exit status " +
                   std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    result.output = o.json ? JsonErrorLine(file, result.error) : "";
    return result;
  }
  result.error = std::move(fields[0]);
  result.partial = fields[1] == "1";
  result.output = std::move(fields[2]);
  return result;
}

}  // namespace zvword::cli
