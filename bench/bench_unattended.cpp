// The commands for a scheduler: `quormail send --dry-run` over 99,999 due readers, the
// whole process timed from outside, against the bare scan of the same reader query in
// this process; and `quormail --version` without a display against `/bin/true`.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "core/TextUtil.h"

namespace {

double timed(const std::string& command) {
  const auto t = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return bench::seconds(t);
}

double best(int runs, const std::string& command) {
  double b = 1e9;
  for (int i = 0; i < runs; ++i) b = std::min(b, timed(command));
  return b;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path dir = bench::freshProgramDir("unattended");
  fs::copy_file(QUORMAIL_BINARY_DIR "/quormail", dir / "quormail");
  {
    AppContext ctx(dir);
    ctx.openDatabase();
    bench::fillReaders(ctx.query, 99999);
    ctx.query.setCommandText(" UPDATE USERLIST SET NAME = '" + Sjis::fromUtf8("山田　太郎") + "' || ID");
    ctx.query.execute();
    StoryStore(ctx.query).save(Story{1, Sjis::fromUtf8("第1話 ようこそ"), "b"});
    for (int story = 2; story <= 10; ++story)
      StoryStore(ctx.query).save(Story{story, "s", "b"});
    double bare = 1e9;
    for (int i = 0; i < 3; ++i) bare = std::min(bare, bench::bareReaderScan(ctx.query));
    ctx.database.close();

    const std::string dryRun = "cd " + dir.string() + " && env -u DISPLAY ./quormail send --dry-run > /dev/null";
    const double ours = best(3, dryRun);
    // Every story mail waits a day after the previous one: every reader is still due.
    {
      AppContext again(dir);
      again.openDatabase();
      again.query.setCommandText(" UPDATE STORYLIST SET INTERVALDAYS = 1");
      again.query.execute();
      again.database.close();
    }
    const double withIntervals = best(3, dryRun);
    std::printf("quormail send --dry-run, 99,999 due readers (best of 3, whole process)\n");
    std::printf("  ours:                     %8.1f ms (target < 2000 ms)\n", ours * 1000);
    std::printf("  bare scan of the readers: %8.1f ms\n", bare * 1000);
    std::printf("  ratio ours/bare:          %8.2f (target <= 2)\n", ours / bare);
    std::printf("  with an interval on every story mail: %8.1f ms\n", withIntervals * 1000);
    std::printf("  ratio with/without intervals:         %8.2f (target <= 1.2)\n", withIntervals / ours);
  }
  {
    const double ours = best(20, "env -u DISPLAY " + (dir / "quormail").string() + " --version > /dev/null");
    const double ref = best(20, "/bin/true");
    std::printf("quormail --version without a display (best of 20)\n");
    std::printf("  ours:       %6.1f ms (target < 100 ms)\n", ours * 1000);
    std::printf("  /bin/true:  %6.1f ms\n", ref * 1000);
    std::printf("  ratio:      %6.2f\n", ours / ref);
  }
  fs::remove_all(dir);
  return 0;
}
