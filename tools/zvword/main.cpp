// zvword: prints the text and properties of documents (see --help).
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/CodePages.h"
#include "tools/zvword/Document.h"
#include "tools/zvword/Options.h"

using namespace zvword::cli;

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& file) {
  if (file == "-") return "stdin";
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string OutputExtension(const Options& o) {
  if (o.json) return ".json";
  if (o.format == zvword::tfRTF) return ".rtf";
  if (o.format == zvword::tfHTML) return ".html";
  return ".txt";
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "Cannot create file \"" + path + "\"";
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    error = "Cannot write file \"" + path + "\"";
    return false;
  }
  return true;
}

// The CPUs this process may run on: a container or taskset may allow fewer than the machine has.
unsigned AvailableCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
  return std::max(1u, std::thread::hardware_concurrency());
}

void ShowProgress(size_t done, size_t total) {
  constexpr int kWidth = 30;
  const int filled = total ? static_cast<int>(done * kWidth / total) : kWidth;
  std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "##############################", kWidth - filled, "", done, total);
  if (done == total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    if (!ParseOptions(argc, argv, o)) return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "zvword: %s\nTry 'zvword --help'.\n", e.message.c_str());
    return 2;
  }
  zvword::SetSystemCodePage(o.codePage);
  static char outBuffer[1 << 16];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

  const size_t total = o.files.size();
  const bool toDirectory = !o.output.empty() && (total > 1 || IsDirectory(o.output));
  if (toDirectory && !IsDirectory(o.output) && ::mkdir(o.output.c_str(), 0777) != 0) {
    std::fprintf(stderr, "zvword: cannot create directory %s\n", o.output.c_str());
    return 2;
  }
  const bool progress = o.progress == 1 || (o.progress < 0 && total > 1 && isatty(STDERR_FILENO) &&
                                             (!o.output.empty() || !isatty(STDOUT_FILENO)));

  std::FILE* single = nullptr;
  if (!o.output.empty() && !toDirectory) {
    single = std::fopen(o.output.c_str(), "wb");
    if (!single) {
      std::fprintf(stderr, "zvword: cannot create %s\n", o.output.c_str());
      return 2;
    }
  }

  // Documents are read in parallel, each by its own reader, and written in input order. Finished
  // texts wait for the writer; a reader takes no new document while more than `window` of them,
  // holding more than kReadAheadBytes, wait. Small texts do not count against the window, so one
  // long document does not stall the other readers, and a slow output still bounds the memory.
  constexpr size_t kReadAheadBytes = 16 << 20;
  unsigned jobs = o.jobs > 0 ? static_cast<unsigned>(o.jobs) : AvailableCpus();
  jobs = static_cast<unsigned>(std::min<size_t>(jobs, total));
  const size_t window = 2 * static_cast<size_t>(jobs);
  std::vector<std::optional<DocumentResult>> results(jobs > 1 ? total : 0);
  std::mutex mutex;
  std::condition_variable ready, room;
  size_t next = 0, queued = 0, queuedBytes = 0;  // guarded by mutex
  auto worker = [&] {
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex);
        room.wait(lock, [&] { return next >= total || queued <= window || queuedBytes <= kReadAheadBytes; });
        if (next >= total) return;
        i = next++;
      }
      DocumentResult r = ProcessDocument(o.files[i], o);
      std::lock_guard<std::mutex> lock(mutex);
      ++queued;
      queuedBytes += r.output.size();
      results[i] = std::move(r);
      ready.notify_one();
    }
  };
  std::vector<std::thread> threads;
  if (jobs > 1)
    for (unsigned t = 0; t < jobs; ++t) threads.emplace_back(worker);

  std::FILE* sink = single ? single : stdout;
  bool bomWritten = false;
  int status = 0;
  for (size_t i = 0; i < total; ++i) {
    DocumentResult r;
    if (jobs <= 1) {
      // One job: read on this thread, and write long texts as they are read.
      r = ProcessDocument(o.files[i], o, toDirectory ? nullptr : sink);
    } else {
      std::unique_lock<std::mutex> lock(mutex);
      ready.wait(lock, [&] { return results[i].has_value(); });
      r = std::move(*results[i]);
      results[i].reset();
      --queued;
      queuedBytes -= r.output.size();
      room.notify_all();
    }
    if (!r.error.empty()) {
      std::fflush(sink);  // the message follows the text printed before it
      std::fprintf(stderr, "%s%s: %s\n", progress ? "\r" : "", o.files[i].c_str(), r.error.c_str());
      status = 1;
    }
    const std::string bom = o.utf16 && !o.json ? "\xFF\xFE" : "";
    if (toDirectory) {
      std::string error;
      if (!WriteFile(o.output + "/" + BaseName(o.files[i]) + OutputExtension(o), bom + r.output, error)) {
        std::fprintf(stderr, "%s: %s\n", o.files[i].c_str(), error.c_str());
        status = 1;
      }
    } else {
      if (!bomWritten && !bom.empty()) std::fwrite(bom.data(), 1, bom.size(), sink);
      bomWritten = true;
      if (!r.output.empty() && std::fwrite(r.output.data(), 1, r.output.size(), sink) != r.output.size()) status = 1;
    }
    if (progress) ShowProgress(i + 1, total);
  }
  for (auto& t : threads) t.join();
  if (single && std::fclose(single) != 0) status = 1;
  if (std::fflush(stdout) != 0) status = 1;
  return status;
}
