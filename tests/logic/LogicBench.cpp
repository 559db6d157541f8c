// Prints how fast the line splitter reads a large position file and how long
// a whole run over a long list takes on the in-memory fakes (the logic's own
// share of a run). Not a test: it only prints figures.
#include <chrono>
#include <cstdio>
#include <string>

#include "Updater.h"
#include "platform/TextLines.h"

using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string Listing(int lines, const char* end) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "\\sub" + std::to_string(i % 50) + "\\file_" + std::to_string(i) + ".bin" + end;
  }
  return text;
}

}  // namespace

int main() {
  for (const char* end : {"\r\n", "\n"}) {
    const std::string text = Listing(200000, end);
    virdo::TextLines lines(text);
    const auto start = Clock::now();
    std::size_t count = 0;
    for (int round = 0; round < 5; ++round) {
      lines.Rewind();
      while (lines.Next()) ++count;
    }
    const double s = Seconds(start);
    std::printf("TextLines (%s): %.0f MiB/s, %.1f M lines/s\n",
                end[0] == '\r' ? "CR LF" : "LF", 5.0 * text.size() / s / (1 << 20),
                count / s / 1e6);
  }
  {
    std::string line = "\\caf\xE9\\na\xEFve\x80.bin";
    const auto start = Clock::now();
    std::size_t bytes = 0;
    for (int i = 0; i < 1000000; ++i) bytes += virdo::DecodeLine(line).size();
    std::printf("DecodeLine, Windows-1252 line: %.0f ns per line (%zu bytes out)\n",
                Seconds(start) * 1e9 / 1e6, bytes / 1000000);
  }
  for (int n : {1000, 10000}) {
    virdo::fake::Updater u;
    u.Keyboard(Listing(n, "\r\n"));
    for (int i = 0; i < n; ++i) {
      u.fs.AddFile(virdo::fake::kPackage + "file_" + std::to_string(i) + ".bin", "data", 5000);
    }
    u.form.Form_Load();
    const auto start = Clock::now();
    u.form.Command1_Click(0);
    const double s = Seconds(start);
    std::printf("Whole run on the fakes, %d copy lines: %.1f ms (%.1f us per line)\n", n,
                s * 1e3, s * 1e6 / n);
  }
}
