// Reader maintenance against 99,999 readers: the reader search that lists 10,000 hits
// (Enter to filled grid) and one step of next / previous, each beside the bare
// statement work of the same query as the reference.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "maintenance/ReaderWindow.h"
#include "maintenance/ReaderSearchDialog.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The best of several runs, in seconds.
template <typename F>
double best(int runs, F&& f) {
  double t = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    f();
    t = std::min(t, secondsSince(start));
  }
  return t;
}

void print(const char* what, double ours, double reference, const char* unit, double scale) {
  std::printf("%-44s ours %9.3f %s   reference %9.3f %s   ratio %.2f\n", what, ours * scale, unit, reference * scale,
              unit, ours / reference);
}

// A text as an SQL literal, its quotes doubled (the reference queries and the set-up).
std::string quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// 99,999 readers in one statement; every tenth name (10,000 of them) begins with "佐藤".
void fillReaders(Statement& q, const std::string& hit, const std::string& other) {
  q.close();
  q.setCommandText(
      "EXECUTE BLOCK AS DECLARE i INTEGER = 1; DECLARE k CHAR(5); BEGIN "
      "WHILE (i <= 99999) DO BEGIN k = LPAD(i, 5, '0'); "
      "INSERT INTO USERLIST (ID, MAILADDRESS, TOUROKUDATE, TOUROKUTIME, NAME, SYORIKBN, NEXTSTORY, SNDFASTDATE, "
      "SNDFASTTIME, SNDLASTDATE, SNDLASTTIME, BIKO1, BIKO2, BIKO3) VALUES (: k, 'reader' || : k || '@example.com', "
      "'20240101', '090000', IIF(MOD(: i, 10) = 1, " +
      quoted(hit) + ", " + quoted(other) +
      ") || : k, '01', '00001', '00000000', '000000', '00000000', '000000', '', '', ''); i = i + 1; END END");
  q.execute();
  q.close();
}

// The same query walked through the statement alone, reading the three listed columns.
int bareSearch(Statement& q, const std::string& condition) {
  q.close();
  q.setCommandText(" SELECT USERLIST.* FROM USERLIST WHERE NAME >= " + quoted(condition) + " ORDER BY NAME");
  q.open();
  int k = 0;
  for (; !q.eof(); q.next()) {
    const std::string id = q.fieldByName("ID");
    const std::string name = q.fieldByName("NAME");
    const std::string address = q.fieldByName("MAILADDRESS");
    if (name.compare(0, condition.size(), condition) != 0) break;
    ++k;
  }
  q.close();
  return k;
}

void bareStep(Statement& q, const std::string& sql) {
  q.close();
  q.setCommandText(sql);
  q.open();
  size_t bytes = 0;
  if (!q.eof())
    for (const char* c : {"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME", "SYORIKBN", "NEXTSTORY",
                          "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE", "SNDLASTTIME", "BIKO1", "BIKO2", "BIKO3"})
      bytes += q.fieldByName(c).size();
  if (bytes == 0) std::fprintf(stderr, "no row\n");
  q.close();
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  const fs::path dir = fs::temp_directory_path() / ("quormail-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string create = "bash '" QUORMAIL_SOURCE_DIR "/db/create-db.sh' '" + (dir / "QUORMAIL.GDB").string() + "'";
  if (std::system(create.c_str()) != 0) {
    std::fprintf(stderr, "cannot create the database\n");
    return 1;
  }
  int rc = 0;
  {
    AppContext ctx(dir);
    ctx.openDatabase();
    const std::string sato = Sjis::fromUtf8("佐藤");
    auto start = Clock::now();
    fillReaders(ctx.query, sato, Sjis::fromUtf8("田中"));
    std::printf("setup: 99,999 readers in %.2f s\n\n", secondsSince(start));

    ReaderWindow window(ctx);
    ReaderSearchDialog search(ctx);
    ctx.setWindow(WindowId::ReaderSearch, &search);

    // Reader search: Enter in the condition runs search, which fills the grid.
    const double ours = best(5, [&] {
      search.clearResults();
      search.conditionEdit->setEnabled(true);
      search.conditionEdit->setText(QStringLiteral("佐藤"));
      search.search();
    });
    if (search.hitCountLabel->text() != QStringLiteral("対象 10000件")) {
      std::fprintf(stderr, "unexpected hit count: %s\n", search.hitCountLabel->text().toUtf8().constData());
      rc = 1;
    }
    int bareHits = 0;
    const double reference = best(5, [&] { bareHits = bareSearch(ctx.query, sato); });
    if (bareHits != 10000) rc = 1;
    print("reader search, 10,000 of 99,999 (Enter->grid)", ours, reference, "s ", 1.0);
    std::printf("%-44s limit 0.500 s: %s\n\n", "", ours < 0.5 ? "met" : "MISSED");

    // Next / previous: the whole walk through the readers, from an empty ID to the end.
    const int readers = 99999;
    auto walk = [&](bool forward) {
      window.clearScreen();
      int shown = 0;
      const auto begin = Clock::now();
      do {
        forward ? window.showNext() : window.showPrevious();
      } while (!window.idEdit->text().isEmpty() && ++shown <= readers);
      const double perStep = secondsSince(begin) / (shown + 1);
      if (shown != readers) {
        std::fprintf(stderr, "the walk showed %d readers\n", shown);
        rc = 1;
      }
      return perStep;
    };
    const double nextOurs = walk(true);
    const double prevOurs = walk(false);

    const int steps = 10000;  // the reference samples the same statements across the keys
    start = Clock::now();
    for (int i = 0; i < steps; ++i) bareStep(ctx.query, " SELECT USERLIST.* FROM USERLIST WHERE ID > '" + zeroFill(std::to_string(i * 10), 5) + "' ORDER BY ID");
    const double nextRef = secondsSince(start) / steps;
    start = Clock::now();
    for (int i = 1; i <= steps; ++i) bareStep(ctx.query, " SELECT USERLIST.* FROM USERLIST WHERE ID < '" + zeroFill(std::to_string(i * 10), 5) + "' ORDER BY ID DESC");
    const double prevRef = secondsSince(start) / steps;
    print("next reader, per step (99,999 steps)", nextOurs, nextRef, "ms", 1000.0);
    print("previous reader, per step (99,999)", prevOurs, prevRef, "ms", 1000.0);
    std::printf("%-44s limit 20 ms: %s\n", "", std::max(nextOurs, prevOurs) < 0.020 ? "met" : "MISSED");
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return rc;
}
