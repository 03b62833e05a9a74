// zvword: prints the text and properties of documents (see --help).
#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/CodePages.h"
#include "tools/zvword/Document.h"
#include "tools/zvword/Isolate.h"
#include "tools/zvword/Options.h"

using namespace zvword::cli;

namespace {

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileId> IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// mkdir -p: every missing directory of the path.
bool MakeDirectories(const std::string& path) {
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (at == std::string::npos) break;
  }
  return IsDirectory(path);
}

// The files under a directory, depth first, names sorted so a run over a tree is repeatable.
// Links to directories are not followed: a tree that links back to itself would never end.
void AddTree(const std::string& dir, std::vector<std::string>& files) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    files.push_back(dir);  // reading it reports why
    return;
  }
  std::vector<std::pair<std::string, bool>> entries;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = (dir.back() == '/' ? dir : dir + "/") + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) entries.emplace_back(path, true);
    else if (S_ISREG(st.st_mode) || (S_ISLNK(st.st_mode) && !IsDirectory(path))) entries.emplace_back(path, false);
  }
  ::closedir(d);
  std::sort(entries.begin(), entries.end());
  for (const auto& [path, isDir] : entries)
    if (isDir) AddTree(path, files);
    else files.push_back(path);
}

// The names in a --files-from list: one a line (a CR before the LF is dropped), or NUL-separated.
bool ReadNameList(const std::string& list, bool nul, std::vector<std::string>& files) {
  std::FILE* f = list == "-" ? stdin : std::fopen(list.c_str(), "rb");
  if (!f) return false;
  std::string name;
  const int end = nul ? '\0' : '\n';
  for (int c; (c = std::getc(f)) != EOF;) {
    if (c != end) {
      name += static_cast<char>(c);
      continue;
    }
    if (!nul && !name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) files.push_back(name);
    name.clear();
  }
  if (!name.empty()) files.push_back(name);
  const bool ok = !std::ferror(f);
  if (f != stdin) std::fclose(f);
  return ok;
}

std::vector<std::string> PathParts(const std::string& file) {
  if (file == "-") return {"stdin"};
  std::vector<std::string> parts;
  size_t from = 0;
  while (from <= file.size()) {
    size_t slash = file.find('/', from);
    if (slash == std::string::npos) slash = file.size();
    const std::string part = file.substr(from, slash - from);
    // Nothing climbs out of the output directory.
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    from = slash + 1;
  }
  if (parts.empty()) parts.push_back("input");
  return parts;
}

// Output names below the directory: each input's base name, or as many of its last path parts as
// tell it from every other input (a/x.doc and b/x.doc give a/x.doc.txt and b/x.doc.txt). Empty
// for an input whose whole path equals another's: its output would overwrite that one.
std::vector<std::string> OutputNames(const std::vector<std::string>& files) {
  const size_t n = files.size();
  std::vector<std::vector<std::string>> parts(n);
  for (size_t i = 0; i < n; ++i) parts[i] = PathParts(files[i]);
  auto suffix = [&](size_t i, size_t k) {
    std::string s;
    for (size_t j = parts[i].size() - k; j < parts[i].size(); ++j) s += (s.empty() ? "" : "/") + parts[i][j];
    return s;
  };
  std::vector<std::string> names(n);
  // Of inputs with one and the same path, only the first gets a name.
  std::vector<size_t> open;
  std::set<std::string> seen;
  for (size_t i = 0; i < n; ++i)
    if (seen.insert(suffix(i, parts[i].size())).second) open.push_back(i);
  for (size_t k = 1; !open.empty(); ++k) {
    std::map<std::string, size_t> count;
    for (size_t i : open) ++count[suffix(i, k)];
    std::vector<size_t> still;
    for (size_t i : open)
      if (count[suffix(i, k)] == 1 || k == parts[i].size()) names[i] = suffix(i, k);
      else still.push_back(i);
    open = std::move(still);
  }
  return names;
}

std::string OutputExtension(const Options& o) {
  if (o.json) return ".json";
  if (o.format == zvword::tfRTF) return ".rtf";
  if (o.format == zvword::tfHTML) return ".html";
  return ".txt";
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error) {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) MakeDirectories(path.substr(0, slash));
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    error = "write error: " + path + ": " + std::strerror(errno);
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

// The progress bar on standard error; Clear() wipes it so a message after it starts clean.
class Progress {
 public:
  void Show(size_t done, size_t total) {
    constexpr int kWidth = 30;
    const int filled = total ? static_cast<int>(done * kWidth / total) : kWidth;
    const int n = std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "##############################", kWidth - filled,
                               "", done, total);
    width_ = n > 1 ? n - 1 : 0;
    if (done == total) {
      std::fputc('\n', stderr);
      width_ = 0;
    }
    std::fflush(stderr);
  }
  void Clear() {
    if (width_ > 0) std::fprintf(stderr, "\r%*s\r", width_, "");
    width_ = 0;
  }

 private:
  int width_ = 0;
};

[[noreturn]] void WriteError(const std::string& what) {
  std::fprintf(stderr, "zvword: write error: %s%s\n", what.empty() ? "" : (what + ": ").c_str(), std::strerror(errno));
  std::_Exit(1);
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
  auto usage = [](const std::string& message) {
    std::fprintf(stderr, "zvword: %s\nTry 'zvword --help'.\n", message.c_str());
    return 2;
  };
  // Dates print in UTC whatever the machine's zone: the library converts some through local time.
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  zvword::SetSystemCodePage(o.codePage);
  static char outBuffer[1 << 16];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

  if (!o.passwordFile.empty()) {
    std::FILE* f = o.passwordFile == "-" ? stdin : std::fopen(o.passwordFile.c_str(), "rb");
    if (!f) return usage("cannot read " + o.passwordFile + ": " + std::strerror(errno));
    std::string pw;
    for (int c; (c = std::getc(f)) != EOF && c != '\n';) pw += static_cast<char>(c);
    if (!pw.empty() && pw.back() == '\r') pw.pop_back();
    if (f != stdin) std::fclose(f);
    o.readerOptions.Password = pw;
  }
  std::vector<std::string> files;
  for (const auto& f : o.files)
    if (o.recursive && f != "-" && IsDirectory(f)) AddTree(f, files);
    else files.push_back(f);
  if (!o.filesFrom.empty() && !ReadNameList(o.filesFrom, o.nulSeparated, files))
    return usage("cannot read " + o.filesFrom + ": " + std::strerror(errno));
  o.files.clear();
  if (files.empty() && o.filesFrom.empty()) return usage("no input files");

  const size_t total = files.size();
  const bool dirOutput = !o.output.empty() && (o.output.back() == '/' || IsDirectory(o.output));
  // Several texts go into a directory; several JSON lines into one file.
  const bool toDirectory = dirOutput || (!o.output.empty() && !o.json && total > 1);
  if (toDirectory && !MakeDirectories(o.output)) {
    std::fprintf(stderr, "zvword: cannot create directory %s: %s\n", o.output.c_str(), std::strerror(errno));
    return 2;
  }
  std::set<FileId> inputIds;
  if (!o.output.empty())
    for (const auto& f : files)
      if (const auto id = IdOf(f)) inputIds.insert(*id);
  const std::string single = !o.output.empty() && !toDirectory ? o.output : "";
  if (!single.empty())
    if (const auto id = IdOf(single); id && inputIds.count(*id))
      return usage("the output " + single + " is also an input");
  const std::vector<std::string> names = toDirectory ? OutputNames(files) : std::vector<std::string>{};

  const bool progress = o.progress == 1 || (o.progress < 0 && total > 1 && isatty(STDERR_FILENO) &&
                                             (!o.output.empty() || !isatty(STDOUT_FILENO)));
  Progress bar;

  // Documents are read in parallel, each by its own reader, and written in input order. Finished
  // texts wait for the writer; a reader takes no new document while more than `window` of them,
  // holding more than kReadAheadBytes, wait. Small texts do not count against the window, so one
  // long document does not stall the other readers, and a slow output still bounds the memory.
  constexpr size_t kReadAheadBytes = 16 << 20;
  unsigned jobs = o.jobs > 0 ? static_cast<unsigned>(o.jobs) : AvailableCpus();
  jobs = static_cast<unsigned>(std::min<size_t>(jobs, std::max<size_t>(total, 1)));
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
      DocumentResult r = o.isolate ? ProcessIsolated(files[i], o) : ProcessDocument(files[i], o);
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

  // A named output file is created with the first output that goes into it: a failed document
  // leaves none behind.
  std::FILE* sink = single.empty() ? stdout : nullptr;
  const std::string bom = o.utf16 && !o.json ? "\xFF\xFE" : "";
  bool bomWritten = false;
  int status = 0;
  for (size_t i = 0; i < total; ++i) {
    DocumentResult r;
    if (jobs <= 1) {
      // One job: read on this thread, and write long texts to standard output as they are read.
      r = o.isolate ? ProcessIsolated(files[i], o)
                    : ProcessDocument(files[i], o, sink == stdout && !toDirectory ? stdout : nullptr);
    } else {
      std::unique_lock<std::mutex> lock(mutex);
      ready.wait(lock, [&] { return results[i].has_value(); });
      r = std::move(*results[i]);
      results[i].reset();
      --queued;
      queuedBytes -= r.output.size();
      room.notify_all();
    }
    const bool failed = !r.error.empty();
    if (toDirectory) {
      if (failed) {
        // nothing is written for a document that could not be read
      } else if (names[i].empty()) {
        if (progress) bar.Clear();
        std::fprintf(stderr, "%s: its output would overwrite that of the same path given before\n", files[i].c_str());
        status = 1;
      } else {
        const std::string path = o.output + (o.output.back() == '/' ? "" : "/") + names[i] + OutputExtension(o);
        std::string error;
        if (const auto id = IdOf(path); id && inputIds.count(*id)) {
          error = "the output " + path + " is also an input";
        } else {
          WriteFile(path, bom + r.output, error);
        }
        if (!error.empty()) {
          if (progress) bar.Clear();
          std::fprintf(stderr, "%s: %s\n", files[i].c_str(), error.c_str());
          status = 1;
        }
      }
    } else if (!r.output.empty() && (!failed || o.json || single.empty())) {
      if (!sink && !(sink = std::fopen(single.c_str(), "wb"))) {
        std::fprintf(stderr, "zvword: cannot create %s: %s\n", single.c_str(), std::strerror(errno));
        return 2;
      }
      if (!bomWritten && !bom.empty()) std::fwrite(bom.data(), 1, bom.size(), sink);
      bomWritten = true;
      if (std::fwrite(r.output.data(), 1, r.output.size(), sink) != r.output.size()) WriteError(single);
    }
    if (sink && std::ferror(sink)) WriteError(single);
    if (failed || !r.warnings.empty()) {
      if (std::fflush(stdout) != 0) WriteError("");  // the message follows the text printed before it
      if (progress) bar.Clear();
      // A warning leaves the exit status alone: the text was read, maybe not all of it.
      for (const std::string& w : r.warnings) std::fprintf(stderr, "%s: warning: %s\n", files[i].c_str(), w.c_str());
      if (failed) std::fprintf(stderr, "%s: %s\n", files[i].c_str(), r.error.c_str());
      if (failed) status = 1;
    }
    if (progress) bar.Show(i + 1, total);
  }
  for (auto& t : threads) t.join();
  if (sink && sink != stdout && std::fclose(sink) != 0) WriteError(single);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) WriteError("");
  return status;
}
