// Copy throughput of copyfile, by each of its ways of moving bytes, against
// plain cp. Not a test: it prints figures.
//   copy_benchmark [target-folder] [MiB] [source-folder]
// The source folder must be writable: the source file is made there.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/LinuxFileSystem.h"

namespace {

std::string ZPath(const std::string& native) {
  std::string s = "Z:" + native;
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::string target = argc > 1 ? argv[1] : "/tmp";
  long mib = argc > 2 ? std::atol(argv[2]) : 64;
  std::string sourceDir = argc > 3 ? argv[3] : "/tmp";
  std::string source = sourceDir + "/virdo-bench-" + std::to_string(::getpid()) + ".bin";
  std::string dest = target + "/virdo-bench.bin";

  {
    std::ofstream out(source, std::ios::binary);
    std::vector<char> block(1 << 20);
    unsigned x = 12345;
    for (long i = 0; i < mib; ++i) {
      for (char& c : block) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", source.c_str());
      return 2;
    }
  }
  std::printf("copy of %ld MiB from %s to %s\n", mib, sourceDir.c_str(), target.c_str());

  using Copy = virdo::LinuxFileSystemOptions::Copy;
  struct Way {
    const char* name;
    Copy copy;
  };
  int status = 0;
  // Three rounds: the first one also pays for warming caches and the
  // target's free-cluster search.
  for (int round = 1; round <= 3; ++round) {
  std::printf("round %d\n", round);
  for (const Way& w : {Way{"copyfile, copy_file_range first", Copy::kCopyFileRange},
                       Way{"copyfile, sendfile first", Copy::kSendfile},
                       Way{"copyfile, read/write loop", Copy::kReadWrite}}) {
    virdo::LinuxFileSystemOptions o;
    o.copyMethod = w.copy;
    virdo::LinuxFileSystem fs(o);
    ::unlink(dest.c_str());
    auto start = std::chrono::steady_clock::now();
    try {
      fs.copyfile(ZPath(source), ZPath(dest), true);
      fs.CloseAll();
    } catch (const std::exception& e) {
      std::printf("%-34s failed: %s\n", w.name, e.what());
      status = 1;
      continue;
    }
    double s = Seconds(start);
    std::printf("%-34s %8.1f MiB/s  (%.3f s, fsync and syncfs included)\n", w.name, mib / s, s);
  }
  for (const char* cmd : {"cp", "cp+sync"}) {
    ::unlink(dest.c_str());
    std::string line = "cp '" + source + "' '" + dest + "'";
    if (std::string(cmd) == "cp+sync") line += " && sync -f '" + dest + "'";
    auto start = std::chrono::steady_clock::now();
    if (std::system(line.c_str()) != 0) {
      std::printf("%-34s failed\n", cmd);
      status = 1;
      continue;
    }
    double s = Seconds(start);
    std::printf("%-34s %8.1f MiB/s  (%.3f s)\n", cmd, mib / s, s);
  }
  }
  // Every path operation rereads the mount table; what that costs a lookup.
  {
    virdo::LinuxFileSystem fs;
    const int n = 20000;
    auto start = std::chrono::steady_clock::now();
    int found = 0;
    for (int i = 0; i < n; ++i) found += fs.fileexists(ZPath(source));
    double s = Seconds(start);
    std::printf("fileexists on the source          %8.1f us a call (%d found)\n", s / n * 1e6, found);
  }
  ::unlink(dest.c_str());
  ::unlink(source.c_str());
  return status;
}
